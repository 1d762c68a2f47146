#include "TestSupport.h"

#include "CliRunner.h"

#include "FaultVfs.h"
#include "db/DatabaseLock.h"
#include "db/SafeFile.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace orv;

namespace {

using CliFilesTest = test::CliFixture;

} // namespace

TEST_F(CliFilesTest, FileVerbsWaitForAnotherProgramsTransaction) {
    const QString shell = QStandardPaths::findExecutable("sqlite3");
    if (shell.isEmpty())
        GTEST_SKIP() << "the sqlite3 shell is not installed";
    QProcess other;
    other.start(shell, {db});
    ASSERT_TRUE(other.waitForStarted());
    other.write("BEGIN IMMEDIATE; UPDATE tblsystem SET State = 'XX';\n");
    ASSERT_TRUE(other.waitForBytesWritten());
    const QDeadlineTimer deadline(30000);
    while (!QFile::exists(db + "-journal") && !deadline.hasExpired())
        QThread::msleep(20);
    ASSERT_TRUE(QFile::exists(db + "-journal"));

    const QStringList verbs[] = {
        {"compact", db}, {"saveas", db, dir.file("copy.mdb")}, {"repair", db}};
    for (const QStringList& verb : verbs) {
        const test::CliResult r = cli(verb);
        EXPECT_EQ(r.rc, 1) << verb[0].toStdString();
        EXPECT_TRUE(r.err.contains("The database is in use by another program"))
            << r.err.toStdString();
        EXPECT_TRUE(QFile::exists(db + "-journal"));
    }
    EXPECT_FALSE(QFile::exists(dir.file("copy.mdb")));

    other.write("COMMIT;\nSELECT State FROM tblsystem;\n");
    other.closeWriteChannel();
    ASSERT_TRUE(other.waitForFinished(30000));
    EXPECT_EQ(other.exitCode(), 0);
    EXPECT_EQ(other.readAllStandardError(), "");
    EXPECT_EQ(other.readAllStandardOutput(), "XX\n");
    EXPECT_EQ(cli({"compact", db}).rc, 0);
}

TEST_F(CliFilesTest, ADatabaseOpenInAnotherCopyIsRefused) {
    QLockFile otherCopy(DatabaseLock::lockFileFor(db));
    ASSERT_TRUE(otherCopy.tryLock(0));
    const QString refusal =
        QString("The database %1 is open in another copy of the program").arg(db);
    const QStringList verbs[] = {{"info", db},
                                 {"compact", db},
                                 {"repair", db},
                                 {"signin", db, "--fiscal-year", "2008"},
                                 {"saveas", db, dir.file("copy.mdb")},
                                 {"new", db, "--force"}};
    for (const QStringList& verb : verbs) {
        const test::CliResult r = cli(verb);
        EXPECT_EQ(r.rc, 1) << verb[0].toStdString();
        EXPECT_TRUE(r.err.contains(refusal)) << r.err.toStdString();
    }
    otherCopy.unlock();
    EXPECT_EQ(cli({"info", db}).rc, 0);
    // A verb holds the lock while it runs only.
    EXPECT_FALSE(QFile::exists(DatabaseLock::lockFileFor(db)));
}

TEST_F(CliFilesTest, NewInAMissingFolderNamesTheFolder) {
    const test::CliResult r = cli({"new", dir.file("nowhere/x.mdb")});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, QString("The folder %1 does not exist.\n").arg(dir.file("nowhere")));
}

// A copy that cannot be written says why, without sending everyone out of the database; the
// folder is left as it was.
TEST_F(CliFilesTest, SaveAsIntoAFolderThatTakesNothingSaysWhy) {
    const QString out = dir.file("out");
    ASSERT_TRUE(QDir().mkpath(out));
    const QString copy = QDir(out).filePath("copy.mdb");
    const struct {
        const char* what;
        std::function<void()> arm;
        QString expect;
    } cases[] = {
        {"read-only folder",
         [&] {
             // An administrator writes in any folder: the refusal is made for the engine.
             if (::geteuid() != 0)
                 ::chmod(QFile::encodeName(out).constData(), 0500);
             files::setWriteFault(
                 [](const QString& path, bool) { return path.contains("copy.mdb") ? EACCES : 0; });
         },
         QString("The folder %1 is read-only.\n").arg(out)},
        {"full folder", [] { test::FaultVfs::armDiskFull(0, "copy.mdb"); },
         QString("The disk is full: there is not enough free space in the folder %1.\n").arg(out)},
    };
    test::FaultVfs::install();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.arm();
        const test::CliResult r = cli({"saveas", db, copy});
        files::setWriteFault({});
        test::FaultVfs::reset();
        ::chmod(QFile::encodeName(out).constData(), 0700);
        EXPECT_EQ(r.rc, 1);
        EXPECT_EQ(r.err, c.expect);
        EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList());
    }
    test::FaultVfs::uninstall();
    EXPECT_EQ(cli({"saveas", db, copy}).rc, 0);
}

// The data source file and the tools around it take a path as one line: such a path is
// refused before anything is made or changed.
TEST_F(CliFilesTest, APathWithALineBreakIsRefused) {
    const QByteArray odbcIni = test::readFile(dir.file("odbc.ini"));
    const QString broken = dir.file("two\nlines.mdb");
    const QStringList verbs[] = {{"new", broken}, {"info", broken}, {"saveas", db, broken}};
    for (const QStringList& verb : verbs) {
        const test::CliResult r = cli(verb);
        EXPECT_EQ(r.rc, 1) << verb[0].toStdString();
        EXPECT_TRUE(r.err.startsWith("A database path cannot hold a line break: " +
                                     dir.file("two\\nlines.mdb")))
            << r.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(broken));
    }
    EXPECT_EQ(test::readFile(dir.file("odbc.ini")), odbcIni);
}
