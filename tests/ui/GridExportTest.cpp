// The sample list's export buttons and keys write what the list shows.
#include "WorksheetFixture.h"

#include "SampleListModel.h"

#include <QDir>
#include <QPushButton>
#include <QTableView>

using namespace orv;

namespace {

using GridExport = test::WorksheetTest;

TEST_F(GridExport, TheSampleListIsWrittenAsShown) {
    ASSERT_TRUE(openList());
    list()->sortByColumn(1); // by SSN, the other way from the OBS
    const ui::SampleListModel* model = list()->model();
    ASSERT_EQ(model->rowCount(), kRecords);
    QStringList shown;
    QStringList header;
    for (int c = 0; c < model->columnCount(); ++c)
        header << model->headerData(c, Qt::Horizontal).toString();
    shown << header.join(',');
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << (isMarkColumn(c)
                          ? markLetter(
                                model->rows()[static_cast<size_t>(r)].marks[listColumnElement(c)])
                          : model->index(r, c).data().toString());
        shown << cells.join(',');
    }

    const QString file = dir.file("sample.csv");
    fe().setNextFileName(file);
    QTest::mouseClick(control<QPushButton>("U010", "cmdExportCsv"), Qt::LeftButton);
    EXPECT_EQ(csvLines(file), shown);
    EXPECT_EQ(fe().lastMessage(),
              QStringLiteral("30 rows were exported to %1.").arg(QDir::toNativeSeparators(file)));

    // The key does the same; a dialog left with Cancel writes nothing and tells nothing.
    const qsizetype told = fe().messages().size();
    view()->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view()->window()));
    view()->setFocus();
    QTest::keyClick(view(), Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(fe().messages().size(), told);
    const QString xlsx = dir.file("sample.xlsx");
    fe().setNextFileName(xlsx);
    QTest::keyClick(view(), Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(test::readFile(xlsx).startsWith("PK\x03\x04"));
    EXPECT_EQ(fe().messages().size(), told + 1);
}

} // namespace
