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

// Each failure of the database tells what happened and what to do, on stderr, with status 1;
// never the engine's bare words.
TEST_F(MessagesCliTest, FailuresOfTheDatabaseSayWhatToDo) {
    const QString damaged =
        QString("The database %1 is damaged (database disk image is malformed); "
                "Utilities > Fix Database (`orvdv-cli repair`) may recover it.")
            .arg(db);
    struct Case {
        const char* what;
        std::function<void()> before; // run once, before the first command of its kind
        QStringList args;
        QString expected;
        QString notExpected;
    };
    const Case cases[] = {
        {"damaged master",
         [&] {
             damageTables({"tblORVmaster", "tblsample"});
         },
         {"info", db},
         damaged,
         "Unable"},
        {"damaged master", {}, {"sample", db}, damaged, {}},
        {"damaged master", {}, {"rv", db}, damaged, {}},
        {"truncated",
         [&] {
             const QByteArray head = test::readFile(db).left(50000);
             test::writeFile(db, head);
         },
         {"info", db},
         damaged,
         "not a validation database"},
        {"truncated",
         {},
         {"repair", db},
         QString("Repair could not recover the database %1 (database disk image is malformed).")
             .arg(db),
         "Unable to log into system"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("%1: %2").arg(c.what, c.args[0]).toStdString());
        if (c.before)
            c.before();
        const CliResult r = cli(c.args);
        EXPECT_EQ(r.rc, 1);
        EXPECT_TRUE(r.err.contains(c.expected)) << r.err.toStdString();
        if (!c.notExpected.isEmpty()) {
            EXPECT_FALSE(r.err.contains(c.notExpected)) << r.err.toStdString();
        }
    }
}

// A full disk and a folder that refuses the journal: every command that must write is told
// why, and so is one that opens a database it must first bring back from a failed import.
TEST_F(MessagesCliTest, ADiskThatCannotBeWrittenIsNamed) {
    const QString folder = QDir::toNativeSeparators(dir.path());
    const QString full =
        QString("The disk is full: the database %1 could not be changed. Free some space in %2")
            .arg(db, folder);
    const QString readOnly =
        QString("The folder %1 is read-only: the database %2 can be read but not changed there.")
            .arg(folder, db);
    QStringList worksheet{"worksheet", db, "--pass", "1"};
    {
        Database d(db, Database::Mode::ReadOnly);
        Statement st = d.prepare("SELECT obs, ssn FROM tblsample ORDER BY obs LIMIT 1");
        ASSERT_TRUE(st.step());
        worksheet << "--obs" << st.text(0) << "--ssn" << st.text(1);
    }
    FaultVfs::install();
    const QString extract = QStringLiteral(ORV_SOURCE_DIR "/demo/demo-extract.csv");
    struct Case {
        void (*arm)(const QString& file);
        QStringList args;
        QString expected;
    };
    const Case cases[] = {
        // The import fails on the full disk; with the disk still full, the commands after it
        // cannot put the database right and say why.
        {[](const QString& f) { FaultVfs::armDiskFull(80, f); },
         {"import", db, extract, "--seed", "7", "--yes"},
         {}},
        {[](const QString& f) { FaultVfs::armDiskFull(0, f); }, {"info", db}, full},
        {[](const QString& f) { FaultVfs::armDiskFull(0, f); }, {"sample", db}, full},
        {[](const QString& f) { FaultVfs::armReadOnlyFolder(f); },
         {"signin", db, "--fiscal-year", "2009"},
         readOnly},
        {[](const QString& f) { FaultVfs::armReadOnlyFolder(f); }, worksheet, readOnly},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        c.arm(db);
        const CliResult r = cli(c.args);
        EXPECT_TRUE(FaultVfs::fired() || c.expected.isEmpty());
        FaultVfs::reset();
        EXPECT_EQ(r.rc, 1);
        EXPECT_FALSE(r.err.contains("database or disk is full")) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains("readonly database")) << r.err.toStdString();
        if (!c.expected.isEmpty()) {
            EXPECT_TRUE(r.err.contains(c.expected)) << r.err.toStdString();
        }
    }
    // With room again, the database opens and is whole.
    EXPECT_EQ(cli({"info", db}).rc, 0);
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
