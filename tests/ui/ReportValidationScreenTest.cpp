#include "../cli/CliRunner.h"
#include "../core/validation/ValidationFixture.h"
#include "ShellFixture.h"

#include "MasterTableModel.h"
#include "ReportValidationScreen.h"
#include "ScreenGeometry.h"
#include "SourceTableScreen.h"

#include "validation/OutcomeGroupSummary.h"
#include "validation/ReportValidation.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>
#include <random>

using namespace orv;

namespace {

class ReportScreensTest : public test::ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        signInWith2008();
    }

    // Grouped records in the period, obs counting on from the last, inserted in no order.
    void addRecords(int group, int count, const QString& exitDate = QStringLiteral("2006-10-15")) {
        std::vector<int> order(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            order[static_cast<size_t>(i)] = mObs + i + 1;
        std::shuffle(order.begin(), order.end(), std::mt19937(static_cast<unsigned>(count)));
        Transaction tx(session().db());
        for (int obs : order)
            test::insertMaster(session().db(), {{"obs", obs},
                                                {"SSN", QString::number(100000000 + obs)},
                                                {"spopnum", group},
                                                {"pop", "1"},
                                                {"fWIAexitdate", exitDate},
                                                {"Earn2QTRAfterExit", 100.5},
                                                {"Earn3QTRAfterExit", 50}});
        tx.commit();
        mObs += count;
    }

    ui::ReportValidationScreen* openU006() {
        auto* s = new ui::ReportValidationScreen(*window);
        window->showForm(s);
        return s;
    }
    ui::SourceTableScreen* openU002() {
        auto* s = new ui::SourceTableScreen(*window);
        window->showForm(s);
        return s;
    }
    QTableWidget* summary() { return control<QTableWidget>("U006", "grdsummary"); }
    QTableView* detail() { return control<QTableView>("U006", "grdDetail"); }
    QTabWidget* tabs() { return control<QTabWidget>("U006", "SSTab1"); }
    QString label(const char* id, const char* name) {
        auto* l = control<QLabel>(id, name);
        return l ? l->text() : QStringLiteral("<none>");
    }

    void doubleClickRowSelector(int row) {
        QHeaderView* h = summary()->verticalHeader();
        QTest::mouseDClick(h->viewport(), Qt::LeftButton, {},
                           QPoint(h->width() / 2, h->sectionViewportPosition(row) + 3));
    }
    void doubleClickHeading(QTableView* view, const QString& heading) {
        QHeaderView* h = view->horizontalHeader();
        int column = -1;
        for (int c = 0; c < view->model()->columnCount(); ++c)
            if (view->model()->headerData(c, Qt::Horizontal).toString() == heading)
                column = c;
        ASSERT_GE(column, 0) << heading.toStdString();
        view->scrollTo(view->model()->index(0, column));
        QTest::mouseDClick(h->viewport(), Qt::LeftButton, {},
                           QPoint(h->sectionViewportPosition(column) + 5, h->height() / 2));
    }
    // The keyboard's way to the same: Ctrl+Shift+S in a cell of the column.
    static void sortByKey(QTableView* view, const QString& heading) {
        for (int c = 0; c < view->model()->columnCount(); ++c)
            if (view->model()->headerData(c, Qt::Horizontal).toString() == heading)
                view->setCurrentIndex(view->model()->index(0, c));
        QTest::keyClick(view, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    }
    static QString cell(QTableView* view, int row, const QString& heading) {
        for (int c = 0; c < view->model()->columnCount(); ++c)
            if (view->model()->headerData(c, Qt::Horizontal).toString() == heading)
                return view->model()->index(row, c).data().toString();
        return QStringLiteral("<no column>");
    }
    // Every row as the CSV line the batch front end prints for it.
    static QStringList lines(QTableView* view) {
        QStringList out;
        const QAbstractItemModel* m = view->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < m->columnCount(); ++c)
                cells << m->index(r, c).data().toString();
            out << cells.join(',');
        }
        return out;
    }

    int mObs = 0;
};

} // namespace

TEST_F(ReportScreensTest, SummaryShowsTheTwentyFiveGroups) {
    addRecords(1, 3);
    addRecords(13, 2);
    addRecords(13, 4, QStringLiteral("2005-01-01")); // outside the period
    openU006();
    ASSERT_TRUE(screen("U006"));
    EXPECT_EQ(screen("U006")->windowTitle(), "U006 - View RV Table");
    QTableWidget* grid = summary();
    ASSERT_TRUE(grid);
    ASSERT_EQ(grid->rowCount(), 25);
    ASSERT_EQ(grid->columnCount(), 16);
    EXPECT_EQ(grid->horizontalHeaderItem(14)->text(), "15\n\n\n\nEarn");
    EXPECT_TRUE(grid->isColumnHidden(15));
    // The widths given, wider only where a heading or a value would be clipped.
    EXPECT_EQ(grid->columnWidth(3), ui::twips(800));
    for (int c = 0; c < 15; ++c) {
        EXPECT_GE(grid->columnWidth(c), ui::twips(c == 0 || c == 2 ? 1200 : 800)) << c;
        EXPECT_GE(grid->columnWidth(c), grid->horizontalHeader()->sectionSizeHint(c)) << c;
    }
    // Every heading line shows.
    EXPECT_GE(grid->horizontalHeader()->height(), 5 * grid->fontMetrics().height());
    // The values: compared with the batch front end's below.
    EXPECT_EQ(grid->item(0, 1)->text(), "3");
    EXPECT_EQ(grid->item(12, 1)->text(), "2");
    EXPECT_EQ(grid->item(24, 15)->text(), "25");
    EXPECT_EQ(label("U006", "Label1"), "Orvane Report Validation. ");
    EXPECT_FALSE(tabs()->isTabEnabled(1));
    EXPECT_EQ(tabs()->tabText(0), "&Summary");

    // A group without records shows an empty detail.
    doubleClickRowSelector(2);
    EXPECT_TRUE(tabs()->isTabEnabled(1));
    EXPECT_EQ(tabs()->currentIndex(), 1);
    EXPECT_EQ(tabs()->tabText(1), "&Detail for Group 3 order by obs");
    EXPECT_EQ(label("U006", "Label2"), "Total Number of Records:");
    EXPECT_EQ(label("U006", "Label3"), "0");
    EXPECT_EQ(detail()->model()->rowCount(), 0);
    EXPECT_EQ(detail()->model()->columnCount(), 64);
    EXPECT_FALSE(control<QLabel>("U006", "Label4")->isVisible());
}

TEST_F(ReportScreensTest, ALargeGroupScrollsToItsLastRecordAndNoFurther) {
    addRecords(5, 2000);
    addRecords(6, 10);
    auto* u006 = openU006();
    doubleClickRowSelector(4);
    EXPECT_EQ(u006->detailGroup(), 5);
    EXPECT_EQ(label("U006", "Label3"), "2000");
    QTableView* view = detail();
    ASSERT_EQ(view->model()->rowCount(), 2000);
    QAbstractItemModelTester tester(view->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(cell(view, 0, "obs"), "1");

    view->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view->window()));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_EQ(view->currentIndex().row(), 1999);
    EXPECT_EQ(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
    EXPECT_EQ(view->rowAt(view->viewport()->height() - 2), 1999);
    EXPECT_EQ(cell(view, 1999, "obs"), "2000");
    EXPECT_FALSE(view->model()->index(2000, 0).isValid());
    EXPECT_EQ(label("U006", "Label4"), "Current Row Number 2000");
    EXPECT_TRUE(control<QLabel>("U006", "Label4")->isVisible());

    // Dragged back to the top, row by row the same records.
    view->verticalScrollBar()->setValue(0);
    QApplication::processEvents();
    EXPECT_EQ(view->rowAt(0), 0);
    for (int r = 0; r < 2000; r += 199)
        EXPECT_EQ(cell(view, r, "obs"), QString::number(r + 1));
}

TEST_F(ReportScreensTest, DetailHeadingsSortEachTimeTheOtherWay) {
    addRecords(5, 300);
    auto* u006 = openU006();
    doubleClickRowSelector(4);
    EXPECT_EQ(u006->sortDirection(), "Asc");
    QTableView* view = detail();

    doubleClickHeading(view, "SSN");
    EXPECT_EQ(tabs()->tabText(1), "&Detail for Group 5 order by [SSN] Desc");
    EXPECT_EQ(cell(view, 0, "SSN"), "100000300");
    sortByKey(view, "SSN");
    EXPECT_EQ(tabs()->tabText(1), "&Detail for Group 5 order by [SSN] Asc");
    EXPECT_EQ(cell(view, 0, "SSN"), "100000001");
    doubleClickHeading(view, "obs");
    EXPECT_EQ(tabs()->tabText(1), "&Detail for Group 5 order by [obs] Desc");
    EXPECT_EQ(cell(view, 0, "obs"), "300");
    EXPECT_EQ(label("U006", "Label3"), "300");

    // Opening a group from the summary (here by Enter on its row) starts again by obs, and
    // ascending next time.
    tabs()->setCurrentIndex(0);
    summary()->setCurrentCell(4, 0);
    QTest::keyClick(summary(), Qt::Key_Return);
    EXPECT_EQ(tabs()->tabText(1), "&Detail for Group 5 order by obs");
    doubleClickHeading(view, "ExitDate");
    EXPECT_EQ(tabs()->tabText(1), "&Detail for Group 5 order by [WIAExitDate] Desc");

    // Exit hides the screen at its summary, keeping the detail.
    QTest::mouseClick(control<QPushButton>("U006", "cmdExit"), Qt::LeftButton);
    ASSERT_TRUE(screen("U006"));
    EXPECT_FALSE(screen("U006")->isVisible());
    EXPECT_EQ(tabs()->currentIndex(), 0);
    EXPECT_EQ(tabs()->tabText(1), "&Detail for Group 5 order by [WIAExitDate] Desc");
}

// The screens and the batch front end on the demo extract: the same groups, records and
// measures.
TEST_F(ReportScreensTest, TheScreensAgreeWithTheBatchFrontEnd) {
    const QString db = session().databasePath();
    auto cli = [&](const QStringList& args) {
        const test::CliResult r = test::runCli(dir.path(), args);
        EXPECT_EQ(r.rc, 0) << r.err.toStdString();
        return r.out.split('\n', Qt::SkipEmptyParts);
    };
    cli({"import", db, QStringLiteral(ORV_SOURCE_DIR) + "/demo/demo-extract.csv", "--seed", "7",
         "--yes"});

    openU006();
    const QStringList groups = cli({"groups", db}).mid(1);
    ASSERT_EQ(groups.size(), 25);
    int largest = 0;
    for (int r = 0; r < 25; ++r) {
        QStringList shown;
        for (int c = 0; c < 15; ++c)
            shown << summary()->item(r, c)->text();
        EXPECT_EQ(shown.join('\t'), groups[r]);
        if (summary()->item(r, 1)->text().toInt() > summary()->item(largest, 1)->text().toInt())
            largest = r;
    }
    doubleClickRowSelector(largest);
    EXPECT_EQ(lines(detail()), cli({"browse", db, "--group", QString::number(largest + 1)}).mid(1));
    doubleClickHeading(detail(), "Gender");
    EXPECT_EQ(lines(detail()), cli({"browse", db, "--group", QString::number(largest + 1),
                                    "--order", "Gender", "--desc"})
                                   .mid(1));

    openU002();
    auto* source = control<QTableView>("U002", "grdsourcefile");
    EXPECT_EQ(lines(source), cli({"browse", db}).mid(1));

    // View Performance Report computes the measures the command line prints.
    menu("mnuRptVal", 1)->trigger();
    const QStringList shown = reportLines();
    const QStringList rv = cli({"rv", db}).mid(1);
    ASSERT_EQ(rv.size(), 9);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    for (const QString& line : rv) {
        const QStringList cells = line.split('\t'); // seq, description, value, period
        const int at = int(shown.indexOf(cells[1]));
        ASSERT_GE(at, 1) << cells[1].toStdString();
        EXPECT_EQ(shown[at - 1], cells[0]);
        const int seq = cells[0].toInt();
        const int places = (seq == 3 || seq == 6 || seq == 7 || seq == 9) ? 2 : 0;
        EXPECT_EQ(shown[at + 1], us.toString(cells[2].toDouble(), 'f', places)) << seq;
    }
}

// While an import replaces the records the grids read nothing; rows in memory still show.
TEST_F(ReportScreensTest, AGridReadsNothingWhileReadingIsHeldBack) {
    addRecords(4, 1000);
    auto pager = std::make_unique<MasterPager>(session().db(), session().recordFilter(), 4);
    ASSERT_TRUE(pager->open());
    ui::MasterTableModel model;
    bool allowed = false;
    model.setReadAllowed([&] { return allowed; });
    model.setPager(std::move(pager));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_EQ(model.rowCount(), 1000);
    EXPECT_FALSE(model.index(900, 0).data().isValid());
    allowed = true;
    EXPECT_EQ(model.index(900, 0).data().toString(), "901");
    allowed = false;
    EXPECT_EQ(model.index(901, 0).data().toString(), "902");
    EXPECT_EQ(model.headerData(901, Qt::Vertical).toInt(), 902);
    EXPECT_EQ(model.headerData(42, Qt::Horizontal).toString(), "ExitDate");
}

// The source table shows the grouped records of the period, sorts them by a heading, and its
// export writes the grid's rows in its order; a cancelled one leaves the file as it was.
TEST_F(ReportScreensTest, SourceTableShowsSortsAndExportsGroupedRecords) {
    addRecords(3, 700);
    addRecords(0, 5); // no group
    addRecords(9, 400);
    addRecords(9, 5, QStringLiteral("2008-01-01")); // outside the period
    auto* u002 = openU002();
    EXPECT_EQ(screen("U002")->windowTitle(), "U002 - Source Data Table");
    EXPECT_EQ(panel(1), "Number of Records in Source Table: 1100");
    EXPECT_EQ(label("U002", "Label1") + label("U002", "Label2"), "Total Number of Records: 1100");
    auto* view = control<QTableView>("U002", "grdsourcefile");
    ASSERT_EQ(view->model()->rowCount(), 1100);
    QAbstractItemModelTester tester(view->model(),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(u002->sortDirection(), "");
    doubleClickHeading(view, "SSN");
    EXPECT_EQ(u002->sortDirection(), "Asc");
    sortByKey(view, "SSN");
    ASSERT_EQ(u002->sortDirection(), "Desc");
    EXPECT_EQ(cell(view, 0, "SSN"), "100001105");
    EXPECT_FALSE(control<QLabel>("U002", "Label3")->isVisible());
    view->setCurrentIndex(view->model()->index(4, 0));
    EXPECT_EQ(label("U002", "Label3"), "Current Row Number 5");
    EXPECT_TRUE(control<QLabel>("U002", "Label3")->isVisible());

    // Ctrl+F finds in the cursor's column, in the grid's order, and moves the cursor there.
    for (int c = 0; c < view->model()->columnCount(); ++c)
        if (view->model()->headerData(c, Qt::Horizontal).toString() == "SSN")
            view->setCurrentIndex(view->model()->index(0, c));
    QStringList labels;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* find = window->loadedScreen(QStringLiteral("U019"));
        if (!find)
            return;
        poll.stop();
        QTest::keyClicks(find->findChild<QLineEdit*>("txtTextToFind"), "10000100");
        for (int i = 0; i < 2; ++i) {
            QTest::keyClick(find->findChild<QLineEdit*>("txtTextToFind"), Qt::Key_Return);
            labels << find->findChild<QLabel*>("lblRowNumber")->text();
        }
        QTest::mouseClick(find->findChild<QPushButton*>("cmdExit"), Qt::LeftButton);
    });
    poll.start(0);
    QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
    // 100001009 … 100001000 come first, descending: the second match is the 97th row.
    EXPECT_EQ(labels,
              QStringList({"Found match in row number 97", "Found match in row number 98"}));
    EXPECT_EQ(view->currentIndex().row(), 97);
    EXPECT_EQ(cell(view, 97, "SSN"), "100001008");
    // The desktop gives the main window back its turn once Find is gone.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto* csv = u002->findChild<QAction*>("actExportCsv");
    auto* excel = u002->findChild<QAction*>("actExportExcel");
    ASSERT_TRUE(csv && excel);
    EXPECT_EQ(view->contextMenuPolicy(), Qt::ActionsContextMenu);
    // The right-click menu: finding in and sorting by the cursor's column, then the exports.
    EXPECT_EQ(view->actions(),
              QList<QAction*>({view->findChild<QAction*>("actFind"),
                               view->findChild<QAction*>("actSortByColumn"), excel, csv}));

    const QString file = dir.file("source.csv");
    fe().setNextFileName(file);
    view->setFocus();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QStringList header;
    for (int c = 0; c < view->model()->columnCount(); ++c)
        header << view->model()->headerData(c, Qt::Horizontal).toString();
    const QStringList written = csvLines(file);
    ASSERT_EQ(written.size(), 1101);
    EXPECT_EQ(written.first(), header.join(','));
    EXPECT_EQ(written.mid(1), lines(view));
    EXPECT_EQ(fe().lastMessage(),
              QStringLiteral("1100 rows were exported to %1.").arg(QDir::toNativeSeparators(file)));

    // Cancel pressed while the rows are written.
    test::writeFile(file, "earlier");
    fe().setNextFileName(file);
    QTimer::singleShot(0, u002, [u002] {
        auto* progress = u002->findChild<QProgressDialog*>("dlgExportProgress");
        ASSERT_TRUE(progress);
        QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
    });
    excel->trigger();
    EXPECT_EQ(test::readFile(file), "earlier");
    EXPECT_EQ(fe().lastMessage(), QStringLiteral("The export was cancelled; %1 was not written.")
                                      .arg(QDir::toNativeSeparators(file)));

    QTest::mouseClick(control<QPushButton>("U002", "cmdExit"), Qt::LeftButton);
    EXPECT_EQ(panel(1), "");
    ASSERT_TRUE(screen("U002"));
    EXPECT_FALSE(screen("U002")->isVisible());
}

// U006's keys and menus export the grid of the tab shown.
TEST_F(ReportScreensTest, ReportTableExportsTheTabShown) {
    addRecords(4, 30);
    addRecords(11, 5);
    auto* u006 = openU006();
    auto* csv = u006->findChild<QAction*>("actExportCsv");
    ASSERT_TRUE(csv);
    EXPECT_TRUE(summary()->actions().contains(csv));
    EXPECT_TRUE(detail()->actions().contains(csv));

    const QString file = dir.file("summary.csv");
    fe().setNextFileName(file);
    csv->trigger();
    QStringList shown;
    for (int r = 0; r < summary()->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < kSummaryKeyColumn; ++c)
            cells << summary()->item(r, c)->text();
        shown << cells.join(',');
    }
    ASSERT_EQ(shown.size(), 25);
    EXPECT_EQ(csvLines(file).mid(1), shown);

    doubleClickRowSelector(3);
    ASSERT_EQ(u006->detailGroup(), 4);
    doubleClickHeading(detail(), "obs");
    doubleClickHeading(detail(), "obs");
    fe().setNextFileName(file);
    csv->trigger();
    const QStringList written = csvLines(file);
    ASSERT_EQ(written.size(), 31);
    EXPECT_EQ(written.mid(1), lines(detail()));
    EXPECT_EQ(written[1].section(',', 0, 0), cell(detail(), 0, "obs"));
}
