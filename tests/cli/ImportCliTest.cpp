#include "CliRunner.h"
#include "ExtractLines.h"
#include "TestSupport.h"

#include "db/Database.h"
#include "session/ImportJournal.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStorageInfo>

using namespace orv;

namespace {

using test::line;
using test::validRecord;

class ImportCliTest : public test::CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        ASSERT_EQ(cli({"signin", db, "--fiscal-year", "2008"}).rc, 0);
    }
    test::CliResult import(const QByteArray& content) {
        test::writeFile(dir.file("extract.csv"), content);
        return cli({"import", db, dir.file("extract.csv"), "--seed", "1", "--yes"});
    }
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
         "Records inserted: 0\n"},
        {"first line", wide + line(validRecord(1)), columns, "Records inserted: 0\n"},
        {"no records", "\r\n", "holds no records", "Records inserted: 0\n"},
    };
    // A run with a sample, which a failed import leaves as it is.
    ASSERT_EQ(import(test::validLines(1, 40)).rc, 0);
    const QString before = cli({"info", db}).out + cli({"sample", db}).out;
    ASSERT_TRUE(before.contains("tblORVmaster: 40\n"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::CliResult r = import(c.content);
        EXPECT_EQ(r.rc, 1);
        EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(c.out)) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains("Import Failed!\n")) << r.out.toStdString();
        EXPECT_EQ(cli({"info", db}).out + cli({"sample", db}).out, before);
    }
    EXPECT_EQ(import(line(validRecord(1))).rc, 0);
}

// What is wrong with the database or its disk is told as such, before anything changes.
TEST_F(ImportCliTest, DatabaseAndDiskProblemsAreRefusedBeforeAnythingChanges) {
    const struct {
        const char* name;
        const char* change; // made to the database beforehand
        bool huge;          // the extract grown (sparse) past what the disk could take
        QString err;
    } cases[] = {
        {"an extra master column", "ALTER TABLE tblORVmaster ADD COLUMN Extra TEXT", false,
         "its master table tblORVmaster has 72 columns where 71 belong. Nothing was changed"},
        {"a missing master column", "ALTER TABLE tblORVmaster DROP COLUMN fWIARegDate", false,
         "its master table tblORVmaster has 70 columns where 71 belong. Nothing was changed"},
        {"no room for the import", "", true, "The import needs about "},
    };
    ASSERT_EQ(import(test::validLines(1, 40)).rc, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString copy = dir.file("case.mdb");
        QFile::remove(copy);
        ASSERT_TRUE(QFile::copy(db, copy));
        if (*c.change)
            Database(copy).exec(c.change);
        const QString before = cli({"info", copy}).out + cli({"sample", copy}).out;
        const QString extract = dir.file("case.csv");
        test::writeFile(extract, test::validLines(1, 5));
        if (c.huge) {
            QFile grown(extract); // sparse: it takes no room itself
            ASSERT_TRUE(grown.resize(QStorageInfo(dir.path()).bytesAvailable() + (1 << 20)));
        }
        const test::CliResult r = cli({"import", copy, extract, "--yes"});
        QFile::remove(extract);
        EXPECT_EQ(r.rc, 1);
        EXPECT_TRUE(r.err.contains(c.err)) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("number of columns")) << r.err.toStdString();
        EXPECT_EQ(cli({"info", copy}).out + cli({"sample", copy}).out, before);
    }
}

TEST_F(ImportCliTest, UnfinishedImportIsReportedWhenACommandOpensTheDatabase) {
    const struct {
        const char* name;
        const char* left; // what the killed import left in the database
        qint64 master;
        QString told;
    } cases[] = {
        {"undone by the engine", "", 5,
         "The import of /data/extract.csv started 1/2/2026 3:04:05 PM did not finish; the "
         "database is as it was before it."},
        // Builds before the import was one transaction dropped the indexes and kept the rows.
        {"left half-loaded by an older build",
         "UPDATE tblImportRun SET Indexes = '[{\"name\":\"idx_master_randno\",\"sql\":"
         "\"CREATE INDEX idx_master_randno ON tblORVmaster (randno)\"}]'; "
         "DROP INDEX idx_master_randno; DELETE FROM tblORVmaster WHERE obs > 3",
         3,
         "The last import did not finish (/data/extract.csv, started 1/2/2026 3:04:05 PM): 3 "
         "records were loaded. Import the extract again."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(import(test::validLines(1, 5)).rc, 0);
        {
            Database raw(db);
            importJournal::begin(raw, "/data/extract.csv");
            raw.exec(std::string("UPDATE tblImportRun SET StartedAt = '1/2/2026 3:04:05 PM'; ") +
                     c.left);
        }
        test::CliResult r = cli({"info", db});
        EXPECT_EQ(r.rc, 0);
        EXPECT_EQ(r.err.trimmed(), c.told);
        EXPECT_TRUE(r.out.contains(QStringLiteral("tblORVmaster: %1\n").arg(c.master)))
            << r.out.toStdString();
        EXPECT_TRUE(Database(db)
                        .scalar("SELECT 1 FROM sqlite_master WHERE name = 'idx_master_randno'")
                        .isValid());
        r = cli({"info", db});
        EXPECT_FALSE(r.err.contains("did not finish")) << "told once";
    }
}
