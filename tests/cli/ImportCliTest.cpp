#include "CliRunner.h"
#include "ExtractLines.h"
#include "TestSupport.h"

#include "db/Database.h"
#include "import/ImportJournal.h"

#include <gtest/gtest.h>

using namespace orv;

namespace {

using test::line;
using test::validRecord;

class ImportCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ODBCINI", dir.file("odbc.ini").toLocal8Bit());
        db = dir.file("run.mdb");
        ASSERT_EQ(cli({"new", db}).rc, 0);
        ASSERT_EQ(cli({"signin", db, "--fiscal-year", "2008"}).rc, 0);
    }
    void TearDown() override { qunsetenv("ODBCINI"); }
    test::CliResult cli(const QStringList& args) { return test::runCli(dir.path(), args); }
    test::CliResult import(const QByteArray& content) {
        test::writeFile(dir.file("extract.csv"), content);
        return cli({"import", db, dir.file("extract.csv"), "--seed", "1", "--yes"});
    }

    test::ProgramDir dir;
    QString db;
};

} // namespace

TEST_F(ImportCliTest, ContentFailuresSayWhyOnStderr) {
    QByteArray wide = line(validRecord(2));
    wide.insert(wide.size() - 2, ",extra");
    const QString columns = "number of columns does not match expected number of columns.";
    struct Case {
        const char* name;
        QByteArray content;
        QString err;
        QString out;
    };
    const Case cases[] = {
        {"second line", line(validRecord(1)) + wide,
         "Import failed: Error with OBS code - 2.  there was an error reading a row from the "
         "input file. " +
             columns,
         "Records inserted: 1\n"},
        {"first line", wide + line(validRecord(1)), columns, "Records inserted: 0\n"},
        {"no records", "\r\n", "holds no records", "Records inserted: 0\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::CliResult r = import(c.content);
        EXPECT_EQ(r.rc, 1);
        EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(c.out)) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains("Import Failed!\n")) << r.out.toStdString();
    }
    EXPECT_EQ(import(line(validRecord(1))).rc, 0);
}

TEST_F(ImportCliTest, UnfinishedImportIsReportedWhenACommandOpensTheDatabase) {
    ASSERT_EQ(import(test::validLines(1, 5)).rc, 0);
    {
        // An import that started, dropped the index and loaded three records, then died.
        Database raw(db);
        Transaction tx(raw);
        importJournal::begin(
            raw, "/data/extract.csv",
            {{"idx_master_randno", "CREATE INDEX idx_master_randno ON tblORVmaster (randno)"}});
        raw.exec("DROP INDEX idx_master_randno; DELETE FROM tblORVmaster WHERE obs > 3");
        tx.commit();
    }
    test::CliResult r = cli({"info", db});
    EXPECT_TRUE(r.err.contains("The last import did not finish (/data/extract.csv, started "))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("): 3 records were loaded. Import the extract again."));
    EXPECT_TRUE(Database(db)
                    .scalar("SELECT 1 FROM sqlite_master WHERE name = "
                            "'idx_master_randno'")
                    .isValid());
    r = cli({"info", db});
    EXPECT_FALSE(r.err.contains("did not finish")) << "told once";
}
