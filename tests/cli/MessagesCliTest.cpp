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
