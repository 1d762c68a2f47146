#include "../validation/ValidationFixture.h"

#include "import/ImportRun.h"
#include "import/ReportedCounts.h"

using namespace orv;
using namespace orv::test;

namespace {

TEST(GetCsvField, FieldsCountFromOneAndOnlyTheLastIsTrimmed) {
    const struct {
        const char* line;
        int n;
        const char* field;
    } cases[] = {
        {"a, b ,c", 1, "a"},  {"a, b ,c", 2, " b "}, {"a, b ,c ", 3, "c"},
        {"a, b ,c ", 4, "c"}, {"a, b ,c", 9, "c"},   {"a, b ,c", 0, ""},
        {"a,,", 2, ""},       {"a,,", 3, ""},        {" only ", 1, "only"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetCsvField(QString::fromLatin1(c.line), c.n), c.field)
            << c.line << " field " << c.n;
}

class ReportedCounts : public ValidationTest {
protected:
    void SetUp() override {
        ValidationTest::SetUp();
        ui.answer(kReloadCountsQuestion, true);
        // What an earlier import left.
        db().execute("INSERT INTO tblReportedCounts VALUES ('old', 'Earlier', 1, 5)");
    }
    CountsResult import(const QByteArray& content) {
        const QString path = dir.file("counts.csv");
        writeFile(path, content);
        return ImportReportedCounts(*session, path, &view);
    }
    // The table as "cell|description|seq|count" lines, in seq order per cell.
    QStringList table() {
        Statement st = db().prepare("SELECT rptcell, Description, seq, reportedcount FROM "
                                    "tblReportedCounts ORDER BY rowid");
        QStringList rows;
        while (st.step())
            rows << QStringLiteral("%1|%2|%3|%4")
                        .arg(st.text(0), st.text(1), st.text(2),
                             QString::number(st.real(3), 'g', 15));
        return rows;
    }
    QStringList counts(const char* cell) {
        QStringList out;
        for (const QString& row : table())
            if (row.startsWith(QString::fromLatin1(cell) + '|'))
                out << row.section('|', 3);
        return out;
    }
    RecordingView view;
};

TEST_F(ReportedCounts, EachLineBecomesNineRows) {
    const CountsResult r = import("1,Entered Employment,10,20,30,40,50,60,70,80,90\r\n"
                                  "\r\n"
                                  "2,Retention,1,2,,4,5,6,7,8,\r\n"
                                  "   \n"
                                  "3,O'Brien's cell,1.5, 2 ,3,4,5,6,7,8,9 ,,\n");
    ASSERT_EQ(r.outcome, CountsOutcome::Imported) << r.error.toStdString();
    EXPECT_EQ(r.lines, 3);
    EXPECT_EQ(r.rows, 27);
    const QStringList rows = table();
    ASSERT_EQ(rows.size(), 27);
    EXPECT_EQ(rows[0], "1|Entered Employment|1|10");
    EXPECT_EQ(rows[8], "1|Entered Employment|9|90");
    EXPECT_EQ(counts("1"), (QStringList{"10", "20", "30", "40", "50", "60", "70", "80", "90"}));
    // Empty counts store 0; spreadsheet padding after the ninth count is ignored.
    EXPECT_EQ(counts("2"), (QStringList{"1", "2", "0", "4", "5", "6", "7", "8", "0"}));
    EXPECT_EQ(rows[18], "3|O'Brien's cell|1|1.5");
    EXPECT_EQ(counts("3"), (QStringList{"1.5", "2", "3", "4", "5", "6", "7", "8", "9"}));
    EXPECT_EQ(view.labels[2], "Done!");
    EXPECT_EQ(ui.asked, QStringList{"This process will reload the Reported Counts Table.\n"
                                    "Press Yes to continue / No to stop"});
}

TEST_F(ReportedCounts, TextIsStoredAsTyped) {
    // A byte-order mark at the start of the file is no part of the first cell.
    const CountsResult r = import("\xEF\xBB\xBF  1a , Wages; \"quoted\" -- 'x' ,1,2,3,4,5,6,7,8,9\n"
                                  "4,Caf\xC3\xA9,1,2,3,4,5,6,7,8,9\n"
                                  "5,Caf\xE9,1,2,3,4,5,6,7,8,9\n");
    ASSERT_EQ(r.outcome, CountsOutcome::Imported) << r.error.toStdString();
    const QStringList rows = table();
    EXPECT_EQ(rows[0], "  1a | Wages; \"quoted\" -- 'x' |1|1");
    EXPECT_EQ(rows[9], QString::fromUtf8("4|Café|1|1"));
    EXPECT_EQ(rows[18], QString::fromUtf8("5|Café|1|1")); // Latin-1 read as such
}

// A file with a bad line changes nothing: the message names the line.
TEST_F(ReportedCounts, BadLineLeavesTheTableAsItWas) {
    const struct {
        const char* name;
        QByteArray content;
        const char* named;
    } cases[] = {
        {"three counts", "1,Good,1,2,3,4,5,6,7,8,9\n2,Short,1,2,3\n", "Line 2 has 5 fields"},
        {"a comma in the description", "1,Wages, total,1,2,3,4,5,6,7,8,9\n",
         "Line 1 has more than 11 fields (a comma in the description?)"},
        {"a comma in a count", "1,Wages,1,2,3,4,5,6,7,8,9,10\n", "Line 1 has more than 11"},
        {"a blank count", "1,Good,1,2,3,4,5,6,7,8,-\n",
         "Line 1: count 9 (field 11) is not a number: \"-\""},
        {"a count that is text", "\n\n1,Good,1,2,x3,4,5,6,7,8,9\n",
         "Line 3: count 3 (field 5) is not a number: \"x3\""},
        {"infinity", "1,Good,1,2,3,4,5,6,7,8,inf\n", "Line 1: count 9"},
        // Emptying the table is no import.
        {"an empty file", "",
         "counts.csv holds no counts; the Reported Counts Table was left as it was."},
        {"blank lines only", "\n   \r\n\t\n", "counts.csv holds no counts"},
        // The extract's line limit: the rest of such a line is never read.
        {"a line past the limit", "1,Good,1,2,3,4,5,6,7,8,9\n2,x," + QByteArray(1 << 20, '9'),
         "Line 2 is longer than 1048576 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.shown.clear();
        const CountsResult r = import(c.content);
        EXPECT_EQ(r.outcome, CountsOutcome::Failed);
        EXPECT_EQ(r.lines, 0);
        EXPECT_EQ(table(), QStringList{"old|Earlier|1|5"});
        EXPECT_EQ(view.labels[1], "Import Failed!");
        ASSERT_EQ(ui.shown.size(), 1);
        EXPECT_EQ(ui.shown[0].icon, Icon::Exclamation);
        EXPECT_TRUE(ui.shown[0].text.contains(QString::fromLatin1(c.named)))
            << ui.shown[0].text.toStdString();
    }
}

TEST_F(ReportedCounts, ALineAsLongAsTheLimitIsRead) {
    QByteArray line = "1,Good,1,2,3,4,5,6,7,8,";
    line += QByteArray((1 << 20) - line.size() - 1, ' ') + "9";
    const CountsResult r = import(line + "\r\n");
    ASSERT_EQ(r.outcome, CountsOutcome::Imported) << r.error.toStdString();
    EXPECT_EQ(counts("1").last(), "9");
}

TEST_F(ReportedCounts, MissingFileLeavesTheTableAsItWas) {
    const CountsResult r = ImportReportedCounts(*session, dir.file("none.csv"), &view);
    EXPECT_EQ(r.outcome, CountsOutcome::Failed);
    EXPECT_TRUE(ui.lastMessage().contains("none.csv"));
    EXPECT_EQ(table(), QStringList{"old|Earlier|1|5"});
}

TEST_F(ReportedCounts, NoLeavesEverything) {
    ui.answer(kReloadCountsQuestion, false);
    const CountsResult r = import("1,Entered Employment,10,20,30,40,50,60,70,80,90\n");
    EXPECT_EQ(r.outcome, CountsOutcome::Declined);
    EXPECT_EQ(table(), QStringList{"old|Earlier|1|5"});
    EXPECT_EQ(view.labels[1], "");
    EXPECT_EQ(view.labels[2], "Number of Records Imported: 0");
    EXPECT_TRUE(ui.shown.isEmpty());
}

} // namespace
