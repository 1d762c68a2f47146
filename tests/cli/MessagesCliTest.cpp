#include "FaultVfs.h"
#include "TestSupport.h"

#include "CliRunner.h"

#include "db/Database.h"
#include "db/DatabaseLock.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLockFile>

#include <functional>

using namespace orv;
using test::CliResult;
using test::FaultVfs;

namespace {

class MessagesCliTest : public test::DemoCliTest {
protected:
    void TearDown() override {
        FaultVfs::uninstall();
        DemoCliTest::TearDown();
    }

    // Overwrites the first page of the trees of each table and of its indexes: every read of
    // the table fails.
    void damageTables(const QStringList& tables) {
        QList<qint64> offsets;
        {
            Database d(db, Database::Mode::ReadOnly);
            const qint64 pageSize = d.scalar("PRAGMA page_size").toLongLong();
            for (const QString& t : tables) {
                Statement st =
                    d.prepare("SELECT rootpage FROM sqlite_master WHERE tbl_name = ?1 AND "
                              "rootpage > 1");
                st.bind(1, t);
                while (st.step())
                    offsets << (st.int64(0) - 1) * pageSize;
            }
        }
        QFile f(db);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        for (qint64 at : offsets) {
            f.seek(at);
            f.write(QByteArray(64, '\xff'));
        }
    }
};

// Each failure of the database tells on stderr, with status 1, what happened and what to do,
// never the engine's bare words: a full disk, a folder that refuses the journal, damage.
TEST_F(MessagesCliTest, FailuresOfTheDatabaseSayWhatToDo) {
    const QString folder = QDir::toNativeSeparators(dir.path());
    const QString full =
        QString("The disk is full: the database %1 could not be changed. Free some space in %2")
            .arg(db, folder);
    const QString readOnly =
        QString("The folder %1 is read-only: the database %2 can be read but not changed there.")
            .arg(folder, db);
    const QString damaged = QString("The database %1 is damaged (database disk image is "
                                    "malformed); Utilities > Fix Database (`orvdv-cli repair`) "
                                    "may recover it.")
                                .arg(db);
    QStringList worksheet{"worksheet", db, "--pass", "1"};
    {
        Database d(db, Database::Mode::ReadOnly);
        Statement st = d.prepare("SELECT obs, ssn FROM tblsample ORDER BY obs LIMIT 1");
        ASSERT_TRUE(st.step());
        worksheet << "--obs" << st.text(0) << "--ssn" << st.text(1);
    }
    FaultVfs::install();
    const auto fullDisk = [&] { FaultVfs::armDiskFull(0, db); };
    const auto readOnlyFolder = [&] { FaultVfs::armReadOnlyFolder(db); };
    const auto truncate = [&] { test::writeFile(db, test::readFile(db).left(50000)); };
    struct Case {
        std::function<void()> before;
        QStringList args;
        QString expected;
    };
    const Case cases[] = {
        // The import fails on the full disk; with the disk still full, the commands after it
        // cannot put the database right and say why.
        {[&] { FaultVfs::armDiskFull(80, db); },
         {"import", db, ORV_SOURCE_DIR "/demo/demo-extract.csv", "--seed", "7", "--yes"},
         "Import Failed!"},
        {fullDisk, {"info", db}, full},
        {fullDisk, {"sample", db}, full},
        {readOnlyFolder, {"signin", db, "--fiscal-year", "2009"}, readOnly},
        {readOnlyFolder, worksheet, readOnly},
        // With room again the database is put right; then it is damaged.
        {[&] {
             EXPECT_EQ(cli({"info", db}).rc, 0);
             damageTables({"tblORVmaster", "tblsample"});
         },
         {"info", db},
         damaged},
        {{}, {"sample", db}, damaged},
        {{}, {"rv", db}, damaged},
        {truncate, {"info", db}, damaged},
        {{},
         {"repair", db},
         QString("Repair could not recover the database %1 (database disk image is malformed).")
             .arg(db)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        if (c.before)
            c.before();
        const CliResult r = cli(c.args);
        FaultVfs::reset();
        EXPECT_EQ(r.rc, 1);
        EXPECT_TRUE((r.err + r.out).contains(c.expected)) << r.err.toStdString();
        for (const char* bare : {"database or disk is full", "readonly database", "Unable to log",
                                 "not a validation database"})
            EXPECT_FALSE(r.err.contains(bare)) << r.err.toStdString();
    }
}

// A second copy reaching the database by another name is refused as for its own name, before
// it reads or writes anything.
TEST_F(MessagesCliTest, TheLockFollowsTheFileNotTheName) {
    const QString link = dir.file("link.mdb");
    ASSERT_TRUE(QFile::link(db, link));
    QLockFile otherCopy(DatabaseLock::lockFileFor(db));
    ASSERT_TRUE(otherCopy.tryLock(0));
    const QString spellings[] = {link, dir.path() + "/./run.mdb", dir.path() + "//run.mdb"};
    for (const QString& name : spellings) {
        const QStringList verbs[] = {{"info", name},
                                     {"sample", name},
                                     {"signin", name, "--fiscal-year", "2009"},
                                     {"worksheet", name, "--obs", "1", "--ssn", "x", "--pass", "1"},
                                     {"compact", name}};
        for (const QStringList& verb : verbs) {
            SCOPED_TRACE(verb.join(' ').toStdString());
            const CliResult r = cli(verb);
            EXPECT_EQ(r.rc, 1);
            EXPECT_TRUE(r.err.contains("is open in another copy of the program."))
                << r.err.toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(DatabaseLock::lockFileFor(link)));
    otherCopy.unlock();
    EXPECT_EQ(cli({"info", link}).rc, 0);
}

// Questions the command line cannot ask say how to answer them.
TEST_F(MessagesCliTest, ARefusedQuestionNamesTheFlag) {
    const QString counts = dir.file("counts.csv");
    test::writeFile(counts, "1,Entered Employment,10,20,30,40,50,60,70,80,90\n");
    const QStringList commands[] = {
        {"import", db, QStringLiteral(ORV_SOURCE_DIR "/demo/demo-extract.csv")},
        {"counts", db, counts}};
    for (const QStringList& args : commands) {
        const CliResult r = cli(args);
        EXPECT_EQ(r.rc, 1);
        EXPECT_TRUE(r.err.contains("(--yes confirms the reload)")) << r.err.toStdString();
    }
    EXPECT_TRUE(cli({"info", db}).out.contains("\ntblsample: 51\n"));
}

} // namespace
