#include "WorksheetFixture.h"

#include "worksheet/History.h"
#include "worksheet/SummaryComments.h"

#include <QDir>

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTabWidget>
#include <QTableWidget>

using namespace orv;
using orv::test::WorksheetTest;

namespace {

const QColor kCompleted(192, 189, 239);

int markColumn(int element) {
    return 4 + 2 * element;
}

Mark listMark(ui::SampleSummaryScreen* list, int row, int element) {
    return static_cast<Mark>(
        list->model()->index(row, markColumn(element)).data(ui::SampleListModel::MarkRole).toInt());
}

class WorksheetEntry : public WorksheetTest {
protected:
    // The marks of the first lines as letters: P, F or '.' for none.
    QString shownMarks(int lines) {
        QString s;
        for (int i = 0; i < lines; ++i)
            s += passBox(i)->isChecked() ? 'P' : failBox(i)->isChecked() ? 'F' : '.';
        return s;
    }
    // The same letters for what is stored and what the list shows; '?' where the two differ.
    QString savedMarks(qint64 rowId, int row, int lines) {
        QString s;
        for (int i = 0; i < lines; ++i) {
            const QVariant m = mark(rowId, i);
            const QChar stored = m.isNull() ? '.' : m.toInt() ? 'F' : 'P';
            const Mark listed = listMark(list(), row, i);
            const QChar shown = listed == Mark::Pass ? 'P' : listed == Mark::Fail ? 'F' : '.';
            s += stored == shown ? stored : QChar('?');
        }
        return s;
    }
};

// A later mark replaces an earlier one, the same mark again (or Space) clears it, a line that
// reports nothing takes none; the save stores the marks and the list shows them.
TEST_F(WorksheetEntry, MarksByKeyAndByMouse) {
    ui::SampleSummaryScreen* l = openList();
    ASSERT_TRUE(l);
    EXPECT_EQ(l->windowTitle(), "U010 - Data Validation Sampling.");
    auto click = [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); };
    struct Case {
        const char* name;
        std::function<void()> open, enter, save;
        const char* marks; // of the first ten lines, entered and then saved
        int line;          // the current line after entering them
    };
    const Case cases[] = {
        {"keys; opened by Return, saved by Ctrl+S",
         [&] {
             view()->setFocus();
             QTest::keyClick(view(), Qt::Key_Down);
             QTest::keyClick(view(), Qt::Key_Return);
         },
         [&] {
             for (Qt::Key k :
                  {Qt::Key_P, Qt::Key_Down, Qt::Key_F, Qt::Key_Down, Qt::Key_P, Qt::Key_Space})
                 key(k);
         },
         [&] { key(Qt::Key_S, Qt::ControlModifier); }, "PF........", 2},
        {"mouse; opened by a double-click, saved by the button", [&] { doubleClickRow(2); },
         [&] {
             click(failBox(0));
             click(passBox(0));
             click(failBox(7));
             click(passBox(9));
             click(passBox(9));
             click(passBox(4)); // nothing reported: cannot be marked
         },
         [&] { click(worksheetControl<QPushButton>("cmdSave")); }, "P......F..", 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.open();
        ASSERT_TRUE(worksheet());
        const qint64 rowId = worksheet()->worksheet().rowId();
        const int row = l->model()->rowOf(rowId);
        EXPECT_FALSE(l->isVisible()) << "the list hides behind its worksheet";
        EXPECT_TRUE(window->sampleListState().worksheetVisited);
        c.enter();
        EXPECT_FALSE(passBox(4)->isEnabled());
        EXPECT_EQ(shownMarks(10), c.marks);
        EXPECT_EQ(worksheet()->currentLine(), c.line);
        EXPECT_EQ(labelText("U015", "lblDone"), "5 of 17 done");
        c.save();
        EXPECT_EQ(screen("U015"), nullptr);
        EXPECT_TRUE(l->isVisible());
        EXPECT_EQ(l->selectedRow(), row) << "the row worked on stays selected";
        EXPECT_EQ(savedMarks(rowId, row, 10), c.marks);
        EXPECT_EQ(sampleValue(rowId, "chk"), QVariant("No"));
        EXPECT_FALSE(l->model()->index(row, 0).data(Qt::BackgroundRole).isValid());
    }
    // The failures per element over the sample.
    auto* sums = control<QTableWidget>("U010", "grdsumm");
    const std::pair<int, const char*> failed[] = {{0, "0"}, {1, "1"}, {2, ""}, {7, "1"}};
    for (const auto& [element, text] : failed)
        EXPECT_EQ(sums->item(0, element)->text(), text) << element;
    EXPECT_EQ(labelText("U010", "lblInspected"), "0");

    // Again, passing every line that can be marked: the record is complete.
    const int row = l->selectedRow();
    const qint64 rowId = l->model()->rowId(row);
    view()->setFocus();
    QTest::keyClick(view(), Qt::Key_Enter);
    ASSERT_TRUE(worksheet());
    EXPECT_EQ(shownMarks(10), "P......F..") << "the saved marks load";
    for (int i = 0; i < kElementCount; ++i) {
        key(Qt::Key_P);
        key(Qt::Key_Down);
    }
    EXPECT_EQ(worksheet()->currentLine(), kElementCount - 1);
    EXPECT_EQ(labelText("U015", "lblDone"), "17 of 17 done");
    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(sampleValue(rowId, "chk"), QVariant("Yes"));
    EXPECT_EQ(l->model()->index(row, 0).data(Qt::BackgroundRole).value<QColor>(), kCompleted);
    EXPECT_EQ(labelText("U010", "lblInspected") + '/' + labelText("U010", "lblTotalSampled") + '/' +
                  sums->item(0, 7)->text(),
              "1/30/0");
}

// The row's number on the left opens a record too; keys work from a value box as from the page.
TEST_F(WorksheetTest, RowHeaderOpensTheRecordShown) {
    ui::SampleSummaryScreen* l = openList();
    QHeaderView* rowHeader = view()->verticalHeader();
    const QPoint at(rowHeader->width() / 2, rowHeader->sectionViewportPosition(4) + 4);
    QTest::mouseClick(rowHeader->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(rowHeader->viewport(), Qt::LeftButton, {}, at);
    ASSERT_TRUE(worksheet());
    EXPECT_EQ(worksheet()->worksheet().rowId(), l->model()->rowId(4));
    EXPECT_EQ(worksheet()->windowTitle(), "U015 - Data Validation Sampling.");
    EXPECT_EQ(QStringList({worksheetControl<QLineEdit>("txtOBS")->text(),
                           worksheetControl<QLineEdit>("txtSSN")->text(),
                           worksheetControl<QLabel>("Label1(7)")->text(),
                           worksheetControl<QLineEdit>("Text3(9)")->text(),
                           labelText("U015", "lblStatus")}),
              QStringList({"5", "100000095", "8. BasicTRA", "20061015", "Not Completed"}));
    auto* value = worksheetControl<QLineEdit>("Text3(3)");
    QTest::mouseClick(value, Qt::LeftButton);
    EXPECT_EQ(worksheet()->currentLine(), 3);
    QTest::keyClick(value, Qt::Key_F);
    EXPECT_TRUE(failBox(3)->isChecked());
    EXPECT_EQ(value->text(), "12345");
}

// The History tab lists the record's saves, newest first; the keys that switch tabs reach it.
TEST_F(WorksheetTest, HistoryTabShowsTheSaves) {
    openList();
    doubleClickRow(0);
    ASSERT_TRUE(worksheet());
    EXPECT_EQ(worksheetControl<QTableWidget>("grdHistory")->rowCount(), 0);
    for (Qt::Key k : {Qt::Key_F, Qt::Key_S})
        key(k, k == Qt::Key_S ? Qt::ControlModifier : Qt::NoModifier);
    doubleClickRow(0);
    key(Qt::Key_P);
    key(Qt::Key_S, Qt::ControlModifier);
    doubleClickRow(0);
    ASSERT_TRUE(worksheet());
    auto* history = worksheetControl<QTableWidget>("grdHistory");
    ASSERT_EQ(history->rowCount(), 2);
    QStringList shown;
    for (int row = 0; row < 2; ++row)
        for (int c = 1; c < 7; ++c)
            shown << history->item(row, c)->text();
    const QString user = osUserName(), host = QSysInfo::machineHostName();
    EXPECT_EQ(shown, QStringList({"VetP/F", "F", "P", user, host, "screen", "VetP/F", "", "F", user,
                                  host, "screen"}));
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$")
                    .match(history->item(0, 0)->text())
                    .hasMatch());

    auto* tabs = worksheetControl<QTabWidget>("SSTab1");
    key(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(tabs->tabText(tabs->currentIndex()), "&Comments");
    key(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(tabs->currentWidget(), history);
    QTest::keyClick(history, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(tabs->tabText(tabs->currentIndex()), "&1 - 17");
}

struct FlagCase {
    const char* box;
    bool ok;
    bool checked;       // the box after the question
    bool linesDisabled; // every line after it
};

void PrintTo(const FlagCase& c, std::ostream* os) {
    *os << c.box << (c.ok ? " OK" : " Cancel");
}

class WorksheetFlagTest : public WorksheetTest, public ::testing::WithParamInterface<FlagCase> {};

TEST_P(WorksheetFlagTest, FlagQuestion) {
    const FlagCase& c = GetParam();
    openList();
    doubleClickRow(0);
    ASSERT_TRUE(worksheet());
    QTest::mouseClick(passBox(0), Qt::LeftButton);
    QTest::mouseClick(worksheetControl<QCheckBox>("chkWrongSSN"), Qt::LeftButton);
    fe().setNextAnswer(c.ok);
    QTest::mouseClick(worksheetControl<QCheckBox>(c.box), Qt::LeftButton);

    ASSERT_EQ(fe().questions().size(), 1) << "Wrong SSN asks nothing";
    EXPECT_EQ(fe().questions().first(), kDeleteResultsQuestion);
    EXPECT_EQ(worksheetControl<QCheckBox>(c.box)->isChecked(), c.checked);
    EXPECT_FALSE(worksheetControl<QCheckBox>("chkWrongSSN")->isChecked())
        << "OK or Cancel, the other flags are cleared";
    for (int i = 0; i < kElementCount; ++i)
        EXPECT_EQ(passBox(i)->isEnabled(), !c.linesDisabled && markable(i)) << i;
    EXPECT_EQ(passBox(0)->isChecked(), !c.linesDisabled);

    const qint64 rowId = worksheet()->worksheet().rowId();
    QTest::mouseClick(worksheetControl<QPushButton>("cmdSave"), Qt::LeftButton);
    EXPECT_EQ(sampleValue(rowId, "chk"), QVariant(c.checked ? "Yes" : "No"));
    EXPECT_EQ(mark(rowId, 0).isNull(), c.linesDisabled);
}

INSTANTIATE_TEST_SUITE_P(Table, WorksheetFlagTest,
                         ::testing::Values(FlagCase{"chkInvalidRec", true, true, true},
                                           FlagCase{"chkInvalidRec", false, false, false},
                                           FlagCase{"chkUnableToLocate", true, true, true},
                                           FlagCase{"chkMissingRec", true, true, true},
                                           FlagCase{"chkMissingRec", false, false, false}));

// A changed worksheet is left by Esc or the close box only after Yes to the question, and
// by Exit Without Saving at once; nothing is written either way.
TEST_F(WorksheetTest, LeavingWithoutSaving) {
    ui::SampleSummaryScreen* l = openList();
    const qint64 rowId = l->model()->rowId(0);
    const QString discard = QStringLiteral("Discard the changes to this worksheet?");
    auto escape = [&] { key(Qt::Key_Escape); };
    const struct {
        const char* name;
        bool changed;
        std::function<void()> leave;
        bool asks;
    } cases[] = {
        {"Esc, unchanged", false, escape, false},
        {"Esc", true, escape, true},
        {"the close box", true,
         [&] { qobject_cast<QMdiSubWindow*>(worksheet()->parentWidget())->close(); }, true},
        {"Exit Without Saving", true,
         [&] { QTest::mouseClick(worksheetControl<QPushButton>("cmdExit"), Qt::LeftButton); },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fe().clearRecords();
        doubleClickRow(0);
        ASSERT_TRUE(worksheet());
        if (c.changed)
            key(Qt::Key_F);
        if (c.asks) {
            c.leave(); // answered No
            ASSERT_TRUE(worksheet());
            EXPECT_TRUE(failBox(0)->isChecked());
            fe().setNextAnswer(true);
        }
        c.leave();
        EXPECT_EQ(screen("U015"), nullptr);
        EXPECT_TRUE(l->isVisible());
        EXPECT_TRUE(mark(rowId, 0).isNull());
        EXPECT_EQ(fe().questions(), (c.asks ? QStringList{discard, discard} : QStringList{}));
    }
}

TEST_F(WorksheetTest, PrintAsksToSaveFirst) {
    ui::SampleSummaryScreen* l = openList();
    doubleClickRow(1);
    const qint64 rowId = l->model()->rowId(1);
    key(Qt::Key_F);
    QTest::mouseClick(worksheetControl<QPushButton>("cmdPrint"), Qt::LeftButton);
    EXPECT_EQ(fe().questions().value(0), "Would You like to Save before Printing the Report?");
    ASSERT_TRUE(viewer()) << fe().lastMessage().toStdString();
    EXPECT_EQ(viewer()->layout()->pageCount(), 1) << "that record's worksheet only";
    EXPECT_EQ(reportLines().filter(QRegularExpression("^OBS 2 ")).size(), 1);
    EXPECT_TRUE(reportLines().contains("Mark")) << "unsaved: no mark";
    EXPECT_FALSE(reportLines().contains("Fail"));
    ASSERT_TRUE(worksheet()) << "No keeps the worksheet";
    EXPECT_TRUE(mark(rowId, 0).isNull());

    fe().setNextAnswer(true);
    QTest::mouseClick(worksheetControl<QPushButton>("cmdPrint"), Qt::LeftButton);
    EXPECT_EQ(screen("U015"), nullptr);
    EXPECT_EQ(mark(rowId, 0), QVariant(1));
    EXPECT_TRUE(fe().messages().isEmpty()) << fe().lastMessage().toStdString();
    EXPECT_EQ(reportLines().count("Fail"), 1) << "saved first, then shown";
}

TEST_F(WorksheetTest, FailedSaveKeepsTheWorksheet) {
    ui::SampleSummaryScreen* l = openList();
    doubleClickRow(0);
    const qint64 rowId = l->model()->rowId(0);
    key(Qt::Key_P);
    session().db().execute("DELETE FROM tblsample WHERE rowid = ?",
                           {QVariant::fromValue<qlonglong>(rowId)});
    key(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(fe().messages().size(), 1);
    EXPECT_EQ(fe().messages().first().icon, Icon::Exclamation);
    EXPECT_TRUE(fe().lastMessage().contains("OBS 1 was not saved"));
    ASSERT_TRUE(worksheet());
    EXPECT_TRUE(passBox(0)->isChecked()) << "nothing entered is lost";
}

TEST_F(WorksheetTest, SortingKeepsItsOrderAcrossAWorksheet) {
    ui::SampleSummaryScreen* l = openList();
    auto* title = control<QLabel>("U010", "ctList1Title");
    const QString initial = title->text();
    EXPECT_TRUE(initial.startsWith("right click in grid area to search for OBS."));
    EXPECT_TRUE(initial.endsWith("Detail"));
    EXPECT_EQ(l->model()->rows().front().obs, "1");

    // A heading's click, or Ctrl+Shift+S in a cell of its column.
    struct Click {
        int column;
        const char* title;
        const char* firstObs;
        bool byKey = false;
    };
    const Click clicks[] = {{1, "Sort order: ssn Asc", "30"},
                            {1, "Sort order: ssn Desc", "1", true},
                            {0, "Sort order: obs Asc", "1", true},
                            {0, "Sort order: obs Desc", "30"},
                            {1, "Sort order: ssn Asc", "30"}};
    for (const Click& c : clicks) {
        if (c.byKey) {
            view()->setCurrentIndex(view()->model()->index(0, c.column));
            QTest::keyClick(view(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        } else {
            clickHeader(c.column);
        }
        EXPECT_EQ(title->text(), c.title);
        EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        EXPECT_EQ(l->model()->rows().front().obs, c.firstObs) << c.title;
    }
    clickHeader(1);
    EXPECT_EQ(window->sampleListState().order.title(), "Sort order: ssn Desc");

    // Opening a worksheet reloads the list unseen; leaving it brings the sort back with its title.
    doubleClickRow(0);
    EXPECT_EQ(title->text(), initial);
    EXPECT_EQ(l->lastDirection(), "");
    QTest::mouseClick(worksheetControl<QPushButton>("cmdExit"), Qt::LeftButton);
    EXPECT_EQ(title->text(), "Sort order: ssn Desc");
    EXPECT_EQ(title->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(l->model()->rows().front().obs, "1");
    EXPECT_EQ(l->model()->rows().back().obs, "30");
    clickHeader(1);
    EXPECT_EQ(title->text(), "Sort order: ssn Asc") << "the direction starts afresh";

    // Closed and opened again: by OBS under the first title until a worksheet is visited.
    QTest::mouseClick(control<QPushButton>("U010", "cmdExit"), Qt::LeftButton);
    EXPECT_EQ(screen("U010"), nullptr);
    EXPECT_FALSE(window->sampleListState().worksheetVisited);
    l = openList();
    EXPECT_EQ(control<QLabel>("U010", "ctList1Title")->text(), initial);
    EXPECT_EQ(l->model()->rows().front().obs, "1");
}

// Core holds the search's rules; the find screen selects each row found, and starts afresh
// when the box is left with another text. It opens by a right-click or by Ctrl+F.
TEST_F(WorksheetTest, FindNextThroughAColumn) {
    ui::SampleSummaryScreen* l = openList();
    withFindScreen(0, [&](QWidget* find) {
        EXPECT_EQ(find->windowTitle(), "Find.");
        EXPECT_TRUE(find->isModal());
        EXPECT_EQ(find->findChild<QLabel*>("lblTextToFind")->text(), " Find what: (OBS)");
        EXPECT_EQ(l->selectedRow(), -1) << "loading deselects the list";
        auto* text = find->findChild<QLineEdit*>("txtTextToFind");
        auto* result = find->findChild<QLabel*>("lblRowNumber");
        auto* next = find->findChild<QPushButton*>("cmdFindNext");
        find->findChild<QCheckBox*>("chkExactMatch")->setChecked(true);
        QTest::keyClicks(text, "2");
        QTest::mouseClick(next, Qt::LeftButton);
        EXPECT_EQ(result->text(), "Found match in row number 2");
        EXPECT_EQ(l->selectedRow(), 1);
        find->findChild<QCheckBox*>("chkExactMatch")->setChecked(false);
        text->setText("7");
        QFocusEvent left(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(text, &left);
        EXPECT_EQ(result->text(), "");
        EXPECT_EQ(l->selectedRow(), -1);
        QTest::keyClick(text, Qt::Key_Return);
        EXPECT_EQ(result->text(), "Found match in row number 7");
        QTest::keyClick(text, Qt::Key_Return);
        EXPECT_EQ(result->text(), "Found match in row number 17");
        EXPECT_EQ(l->selectedRow(), 16);
    });
    // Ctrl+F finds in the column the cursor was moved to.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    view()->setFocus();
    ASSERT_EQ(view()->currentIndex().column(), 0);
    for (int c = 0; c < markColumn(0); ++c)
        QTest::keyClick(view(), Qt::Key_Right);
    withFindScreenOpenedBy([&] { QTest::keySequence(view(), QKeySequence::Find); },
                           [&](QWidget* find) {
                               EXPECT_EQ(find->findChild<QLabel*>("lblTextToFind")->text(),
                                         " Find what: (PASS/FAIL)");
                           });
}

TEST_F(WorksheetTest, ImportMakesEveryOtherScreenInert) {
    ui::SampleSummaryScreen* l = openList();
    doubleClickRow(0);
    const qint64 rowId = l->model()->rowId(0);
    key(Qt::Key_F);
    menu("mnuHelpHelp", 5)->trigger(); // a screen that outlives the import
    ASSERT_TRUE(screen("U008"));
    // An import declined at its question leaves every screen as it was.
    fe().setNextFileName(dir.file(QStringLiteral("extract.csv")));
    fe().setNextAnswer(false);
    menu("mnuImpDat", 0)->trigger();
    ASSERT_TRUE(screen("U015"));
    EXPECT_TRUE(screen("U015")->isEnabled());
    EXPECT_EQ(list()->model()->rowCount(), kRecords);

    bool checked = false;
    QTimer::singleShot(0, [&] {
        auto* w = qobject_cast<ui::WorksheetScreen*>(window->loadedScreen("U015"));
        ASSERT_TRUE(w);
        checked = true;
        EXPECT_TRUE(window->isImporting());
        EXPECT_FALSE(w->isEnabled());
        EXPECT_FALSE(window->loadedScreen("U008")->isEnabled());
        QTest::mouseClick(w->findChild<QPushButton*>("cmdSave"), Qt::LeftButton);
        QTest::keyClick(w->findChild<QWidget*>("SSTab1Page0"), Qt::Key_S, Qt::ControlModifier);
        w->saveRecord();
        w->print();
        EXPECT_EQ(window->loadedScreen("U015"), w) << "no save left the worksheet";
        EXPECT_TRUE(mark(rowId, 0).isNull());
        EXPECT_TRUE(fe().messages().isEmpty());
    });
    importExtract(extractLines());
    EXPECT_TRUE(checked);
    EXPECT_EQ(screen("U015"), nullptr) << "the sample it showed is gone";
    EXPECT_EQ(screen("U010"), nullptr);
    ASSERT_TRUE(screen("U008"));
    EXPECT_TRUE(screen("U008")->isEnabled());
    EXPECT_TRUE(window->menuBar()->isEnabled());
    EXPECT_EQ(session()
                  .db()
                  .scalar("SELECT count(*) FROM tblsample WHERE \"VetP/F\" IS NOT NULL")
                  .toLongLong(),
              0);
}

TEST_F(WorksheetTest, DataValidationMenu) {
    // Print Worksheets: a page for every sampled record. (Each entry's report: the viewer's
    // test; the rates the summary report shows: the test that runs both front ends.)
    menu("mnuwks1", 1)->trigger();
    ASSERT_TRUE(viewer()) << fe().lastMessage().toStdString();
    viewer()->layout()->layoutAll();
    EXPECT_EQ(viewer()->layout()->pageCount(), kRecords);

    ui::SampleSummaryScreen* l = openList();
    // Export Summary/Analytical computes the rates and writes the summary file.
    menu("mnuwks1", 7)->trigger();
    EXPECT_TRUE(fe().lastMessage().startsWith("Export has completed.\n" + dir.path()))
        << fe().lastMessage().toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList({"*.xml"}).size(), 1);

    // Edit Worksheets brings an open worksheet to the front.
    doubleClickRow(3);
    ASSERT_TRUE(worksheet());
    menu("mnuwks1", 0)->trigger();
    EXPECT_EQ(window->mdiArea()->activeSubWindow()->widget(), worksheet());
    EXPECT_FALSE(l->isVisible());

    // A database opened anew takes the sample screens with it.
    menu("mnuwks1", 5)->trigger();
    ASSERT_TRUE(screen("U018"));
    fe().setNextFileName(dir.file("second.mdb"));
    menu("mnuFile", 0)->trigger();
    for (const char* id : {"U010", "U015", "U018", "U005"})
        EXPECT_EQ(screen(id), nullptr) << id;
}

TEST_F(WorksheetTest, SummaryComments) {
    menu("mnuwks1", 5)->trigger();
    QWidget* comments = screen("U018");
    ASSERT_TRUE(comments);
    EXPECT_EQ(comments->windowTitle(), "ORV Comments");
    auto* notes = comments->findChild<QPlainTextEdit*>("txtNotes");
    EXPECT_EQ(notes->toPlainText(), "") << "never saved: Null";

    const QString typed = QStringLiteral("Validator's note: 'all' checked");
    notes->setPlainText(typed);
    QTest::mouseClick(comments->findChild<QPushButton*>("cmdUpdate"), Qt::LeftButton);
    EXPECT_EQ(
        session().db().scalar("SELECT Comments FROM tblValSummaryNotes WHERE ID = '1'").toString(),
        typed);
    EXPECT_EQ(notes->toPlainText(), typed);
    EXPECT_EQ(readSummaryComments(session()), typed);

    notes->setPlainText("edited, not kept");
    QTest::mouseClick(comments->findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
    EXPECT_EQ(notes->toPlainText(), typed);
    EXPECT_TRUE(screen("U018")) << "Cancel stays open";
    QTest::mouseClick(comments->findChild<QPushButton*>("cmdExit"), Qt::LeftButton);
    EXPECT_EQ(screen("U018"), nullptr);
}

} // namespace
