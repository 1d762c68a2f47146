// The report viewer, opened from every print command of the menu and from the worksheet.
#include "WorksheetFixture.h"

#include "../cli/CliRunner.h"

#include "ReportLayout.h"
#include "reports/ReportEngine.h"

#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>

using namespace orv;

namespace {

class ReportViewerTest : public test::WorksheetTest {
protected:
    QPushButton* button(const char* name) { return control<QPushButton>("U005", name); }
    QString pdfOf(const QString& name) { return dir.file(name + QStringLiteral(".pdf")); }
};

TEST_F(ReportViewerTest, EveryReportOpensFromItsMenuEntryPagesAndSaves) {
    const struct {
        const char* array;
        int index;
        const char* id;
        const char* shows;
    } entries[] = {
        {"mnuImpDat", 3, "R002-1", "There are no duplicate records."},
        {"mnuImpDat", 5, "R001-1", "Individual identifier"},
        {"mnuImpDat", 6, "R001-2", "Report cell identifier"},
        {"mnuRptVal", 1, "R003-1", "EER Numerator"},
        {"mnuwks1", 1, "R005-1", "Data Element Validation Worksheet"},
        {"mnuwks1", 2, "R004-1", "Summary/Analytical Comments"},
        {"mnuwks1", 3, "R006-1", "By performance outcome group"},
    };
    for (const auto& e : entries) {
        menu(e.array, e.index)->trigger();
        ui::ReportViewerScreen* v = viewer();
        ASSERT_TRUE(v) << e.id << ": " << fe().lastMessage().toStdString();
        EXPECT_EQ(v->windowTitle(), "ORV Report Viewer");
        EXPECT_EQ(v->layout()->run().definition().id, e.id);
        EXPECT_TRUE(panel(1).isEmpty()) << e.id;
        EXPECT_TRUE(reportLines().contains(e.shows)) << e.id;

        // Page by page to the end and back to the first.
        const int pages = v->layout()->pageCount();
        int clicks = 0;
        while (button("cmdNext")->isEnabled() && clicks < pages) {
            QTest::mouseClick(button("cmdNext"), Qt::LeftButton);
            ++clicks;
        }
        EXPECT_EQ(clicks, pages - 1) << e.id;
        EXPECT_EQ(v->currentPage(), pages - 1);
        QTest::mouseClick(button("cmdFirst"), Qt::LeftButton);
        EXPECT_EQ(v->currentPage(), 0);
        EXPECT_FALSE(button("cmdPrevious")->isEnabled());

        ASSERT_TRUE(v->savePdf(pdfOf(e.id)));
        EXPECT_TRUE(test::readFile(pdfOf(e.id)).startsWith("%PDF")) << e.id;
    }
}

// The command line prints one record's worksheet as the worksheet's Print shows it.
TEST_F(ReportViewerTest, OneRecordsWorksheetFromTheCommandLine) {
    const test::CliResult r =
        test::runCli(dir.path(), {"report", session().databasePath(), "R005-1", "--obs", "1",
                                  "--pdf", pdfOf("one")});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), pdfOf("one") + ": 1 page");
}

// A faulty definition is told with its place; what core refuses in one (a statement that
// writes, a query without end) is told the same way, and tried in core's tests.
TEST_F(ReportViewerTest, ABrokenDefinitionIsTold) {
    test::writeFile(dir.file("R006-1.rpt"), "[report]\ntitle = Counts\n\n[head]\n{{#units}}\n");
    menu("mnuwks1", 3)->trigger();
    EXPECT_EQ(viewer(), nullptr);
    EXPECT_TRUE(fe().lastMessage().startsWith("Error in viewing report "));
    EXPECT_TRUE(fe().lastMessage().contains("R006-1.rpt, [head] (line 4): "))
        << fe().lastMessage().toStdString();

    EXPECT_TRUE(panel(1).isEmpty());
}

// A body without end stops, whatever its form, while the pages kept for the viewer still fit in
// memory, with the place at fault.
TEST_F(ReportViewerTest, ABodyWithoutEndStopsBeforeItFillsMemory) {
    ReportLimits limits;
    limits.outputBytes = 32 << 10;
    limits.laidOutBytes = 1 << 20;
    const struct {
        const char* form;
        const char* block;
        const char* told;
    } cases[] = {
        {"table = <table width=\"100%\">", "<tr><td>{{x}}</td><td>{{x}}</td></tr>",
         "T.rpt, [block] (line 7): its pages take more than 1 MB, the most a report may."},
        {"page-break = block", "<p>{{x}}</p>",
         "T.rpt, [block] (line 7): its pages take more than 1 MB"},
        {"", "<p>{{x}}</p>",
         "T.rpt, [block] (line 7): the body grows past 0.03125 MB without a page break; make it a "
         "table"},
    };
    for (const auto& c : cases) {
        test::writeFile(dir.file("T.rpt"),
                        QStringLiteral("[report]\ntitle = T\nbody = c\n%1\n[query c]\nWITH "
                                       "RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
                                       "SELECT x FROM c\n[block]\n%2\n")
                            .arg(QLatin1String(c.form), QLatin1String(c.block))
                            .toUtf8());
        ReportLayout layout(
            std::make_unique<ReportRun>(session(), QStringLiteral("T"), QString(), limits));
        QString told;
        try {
            layout.layoutAll();
        } catch (const ReportError& e) {
            told = e.message();
        }
        EXPECT_TRUE(told.contains(QLatin1String(c.told))) << c.form << ": " << told.toStdString();
        EXPECT_LT(layout.run().rowsRead(), 20000) << c.form;
    }
}

// A table of many rows is laid out a chunk at a time: every row shows once, in order, under
// the repeated heading, whatever page the chunks end on; the PDF has as many pages.
TEST_F(ReportViewerTest, LongTablesLoseNoRowAcrossChunks) {
    test::writeFile(dir.file("T.rpt"), R"([report]
title = Rows
body = rows
group = g
table = <table width="100%" border="1" cellspacing="0">

[query rows]
WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 1500)
SELECT x, x / 4 AS g FROM n

[table-head]
<tr><th width="50%">Heading</th><th width="50%">Group</th></tr>

[block]
{{#rows}}<tr><td>row {{x}}</td><td>{{g}}</td></tr>{{/rows}}

[footer]
Page {{page}}
)");
    window->printReport(QStringLiteral("T"));
    ASSERT_TRUE(viewer()) << fe().lastMessage().toStdString();
    const QStringList lines = reportLines();
    const int pages = viewer()->layout()->pageCount();
    ASSERT_GT(pages, 10);
    QStringList rows = lines.filter(QRegularExpression(QStringLiteral("^row \\d+$")));
    ASSERT_EQ(rows.size(), 1500);
    for (int i = 0; i < rows.size(); ++i)
        ASSERT_EQ(rows[i], QStringLiteral("row %1").arg(i + 1));
    EXPECT_EQ(lines.count(QStringLiteral("Page %1").arg(pages)), 1);

    const test::CliResult r =
        test::runCli(dir.path(), {"report", session().databasePath(), "T", "--pdf", pdfOf("T")});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), pdfOf("T") + QStringLiteral(": %1 pages").arg(pages));
    // The heading row is drawn again at the top of every page.
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdfOf("T"), QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished());
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    EXPECT_EQ(printed.count(QStringLiteral("Heading")), pages);
    EXPECT_EQ(printed.count(QRegularExpression(QStringLiteral("\\brow \\d+\\b"))), 1500);
}

} // namespace
