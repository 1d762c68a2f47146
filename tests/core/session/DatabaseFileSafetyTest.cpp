#include "FaultVfs.h"
#include "FileCommandOutcome.h"
#include "ScriptedFrontEnd.h"
#include "TestSupport.h"

#include "db/DatabaseLock.h"
#include "session/DatabaseFiles.h"
#include "session/Session.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <QProcess>
#include <sys/file.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace orv;
using test::FaultVfs;
using test::FileOutcome;
using test::outcomeOf;
using test::ScriptedFrontEnd;

namespace {

enum class Op { Compact, SaveAs, Repair };

const char* name(Op op) {
    switch (op) {
    case Op::Compact:
        return "compact";
    case Op::SaveAs:
        return "save-as";
    case Op::Repair:
        return "repair";
    }
    return "";
}

using test::modeOf;

void setMode(const QString& path, int mode) {
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
}

// Our files beside the databases and in the program folder, besides the databases themselves.
QStringList leftovers(const QString& folder) {
    return QDir(folder).entryList({"*.orvtmp", "temp.mdb", "*-journal", "*.lock"}, QDir::Files);
}

// A lock file as a copy of the program that was killed leaves it: its process is gone.
void leaveDeadLock(const QString& database) {
    QProcess gone;
    gone.start("true");
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 pid = gone.processId();
    ASSERT_TRUE(gone.waitForFinished());
    const QString model = database + ".model";
    QByteArray content;
    {
        QLockFile lock(model);
        ASSERT_TRUE(lock.tryLock(0));
        content = test::readFile(model);
    }
    content = QByteArray::number(pid) + content.mid(content.indexOf('\n'));
    test::writeFile(DatabaseLock::lockFileFor(database), content);
}

// A lock that a live copy of the program holds (to this process it is someone else's).
std::unique_ptr<QLockFile> holdLiveLock(const QString& database) {
    auto lock = std::make_unique<QLockFile>(DatabaseLock::lockFileFor(database));
    EXPECT_TRUE(lock->tryLock(0));
    return lock;
}

class SafetyTest : public test::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        ASSERT_TRUE(QDir(dir.path()).mkpath("data"));
        ASSERT_TRUE(QDir(dir.path()).mkpath("out"));
        data = dir.file("data");
        out = dir.file("out");
    }
    void TearDown() override {
        FaultVfs::uninstall();
        SessionTest::TearDown();
    }

    // Every third record deleted, so that the file holds free pages for compact to reclaim.
    QString newDatabase(const QString& file, int masterRows) {
        const QString path = SessionTest::newDatabase(QDir(data).filePath(file), masterRows);
        session->db().exec("delete from tblORVmaster where obs % 3 = 0");
        return path;
    }

    // Damages a page deep inside the master's rows.
    void damage(const QString& path) {
        session->closeConnection();
        QByteArray bytes = test::readFile(path);
        const int page = (uchar(bytes[16]) << 8) | uchar(bytes[17]);
        ASSERT_GT(bytes.size(), 60 * page);
        for (int i = 0; i < page; ++i)
            bytes[40 * page + i] = char(0xA5);
        test::writeFile(path, bytes);
    }

    FileOutcome run(Op op, const FaultHook& hook = {}) {
        return outcomeOf([&] {
            switch (op) {
            case Op::Compact:
                return compactDatabaseFile(*session, hook);
            case Op::SaveAs:
                ui.answer("Database exists! Override?", true);
                ui.answer("Do you want to stay in your original database?", true);
                return saveDatabaseAs(*session, QDir(out).filePath("copy.mdb"), hook);
            case Op::Repair:
                ui.answer("Repair the VRQ database?", true);
                return repairDatabaseFile(*session, hook);
            }
            return FileResult::Cancelled;
        });
    }

    QString data, out;
};

} // namespace

TEST_F(SafetyTest, AnotherProgramsWriteIsNeitherLostNorBroken) {
    const QString path = newDatabase("busy.mdb", 200);
    for (Op op : {Op::Compact, Op::SaveAs, Op::Repair}) {
        SCOPED_TRACE(name(op));
        Database other(path);
        other.exec("BEGIN IMMEDIATE; UPDATE tblsystem SET State = 'XX';");
        ASSERT_TRUE(QFile::exists(path + "-journal"));

        const FileOutcome r = run(op);
        EXPECT_TRUE(r.failed());
        EXPECT_TRUE(r.text.contains("The database is in use by another program"))
            << r.text.toStdString();
        EXPECT_TRUE(QFile::exists(path + "-journal"));
        EXPECT_FALSE(QFile::exists(QDir(out).filePath("copy.mdb")));

        EXPECT_NO_THROW(other.exec("COMMIT"));
        ASSERT_TRUE(session->isOpen());
        EXPECT_EQ(session->db().scalar("select State from tblsystem").toString(), "XX");
        other.exec("UPDATE tblsystem SET State = NULL");
        EXPECT_EQ(integrityReport(path), "ok");
    }
    EXPECT_EQ(leftovers(dir.path()), QStringList{});
    EXPECT_EQ(leftovers(out), QStringList{});
    EXPECT_EQ(leftovers(data), QStringList{"busy.mdb.lock"});
}

TEST_F(SafetyTest, ADatabaseOfAnotherCopyIsLeftAlone) {
    const QString held = newDatabase("held.mdb", 10);
    const QString mine = newDatabase("mine.mdb", 10);
    EXPECT_FALSE(QFile::exists(DatabaseLock::lockFileFor(held)));
    const QByteArray before = test::readFile(held);
    auto other = holdLiveLock(held);
    // Save-as puts its own words after it, without the full stop.
    const QString refusal = QString("The database %1 is open in another copy of the program")
                                .arg(QDir::toNativeSeparators(held));

    struct Case {
        const char* what;
        std::function<FileResult()> act;
    };
    const Case cases[] = {
        {"open", [&] { return openDatabase(*session, held); }},
        {"new over it",
         [&] {
             ui.answer("Database already exists! Override?", true);
             return createDatabase(*session, held);
         }},
        {"save over it",
         [&] {
             ui.answer("Database exists! Override?", true);
             return saveDatabaseAs(*session, held);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FileOutcome r = outcomeOf(c.act);
        EXPECT_TRUE(r.failed());
        EXPECT_TRUE(r.text.contains(refusal)) << r.text.toStdString();
        EXPECT_EQ(test::readFile(held), before);
        // The session goes on in its own database, still holding it.
        EXPECT_EQ(session->databasePath(), mine);
        EXPECT_EQ(session->lockedDatabase(), mine);
    }

    // Once that copy has ended, even without letting go, or was killed before it wrote its name
    // in the lock, the database can be opened.
    other.reset();
    for (const bool named : {true, false}) {
        SCOPED_TRACE(named ? "named" : "unwritten");
        if (named)
            leaveDeadLock(held);
        else
            test::writeFile(DatabaseLock::lockFileFor(held), "");
        EXPECT_EQ(openDatabase(*session, held), FileResult::Opened);
        EXPECT_EQ(session->lockedDatabase(), held);
        EXPECT_FALSE(QFile::exists(DatabaseLock::lockFileFor(mine)));
        ASSERT_EQ(openDatabase(*session, mine), FileResult::Opened);
    }
    // An unwritten lock file that is held is a copy still starting: it keeps the database.
    QFile starting(DatabaseLock::lockFileFor(held));
    ASSERT_TRUE(starting.open(QIODevice::WriteOnly));
    ASSERT_EQ(::flock(starting.handle(), LOCK_EX | LOCK_NB), 0);
    EXPECT_TRUE(outcomeOf([&] { return openDatabase(*session, held); }).failed());
    EXPECT_EQ(session->lockedDatabase(), mine);
}

TEST_F(SafetyTest, TheLockFollowsTheDatabaseItsSessionWorksOn) {
    const QString original = newDatabase("orig.mdb", 10);
    EXPECT_TRUE(QFile::exists(DatabaseLock::lockFileFor(original)));
    ui.answer("Do you want to stay in your original database?", false);
    const QString copy = QDir(out).filePath("copy.mdb");
    ASSERT_EQ(saveDatabaseAs(*session, copy), FileResult::Done);
    EXPECT_EQ(session->lockedDatabase(), copy);
    EXPECT_TRUE(QFile::exists(DatabaseLock::lockFileFor(copy)));
    EXPECT_FALSE(QFile::exists(DatabaseLock::lockFileFor(original)));

    // A failed open keeps the database the session names, and its lock.
    EXPECT_TRUE(outcomeOf([&] {
                    return openDatabase(*session, dir.file("ORVTemplate.xmdb.missing"));
                }).failed());
    EXPECT_EQ(session->lockedDatabase(), copy);
    session.reset();
    EXPECT_FALSE(QFile::exists(DatabaseLock::lockFileFor(copy)));
}

TEST_F(SafetyTest, FailuresOfTheDiskLeaveTheOriginalAndNoScratchFiles) {
    struct Case {
        Op op;
        void (*arm)(int, const QString&);
        int after;
        const char* file;   // which file's writes or syncs fail
        const char* expect; // in the message; %data, %home and %out stand for the folders
        bool damaged = false;
    };
    const Case cases[] = {
        {Op::Compact, FaultVfs::armDiskFull, 0, "temp.mdb",
         "The disk is full: there is not enough free space in the folder %home."},
        {Op::Compact, FaultVfs::armDiskFull, 40, "temp.mdb", "in the folder %home."},
        {Op::Compact, FaultVfs::armWriteFailure, 10, "temp.mdb", "disk I/O error"},
        {Op::Compact, FaultVfs::armSyncFailure, 0, "temp.mdb", "disk I/O error"},
        {Op::Compact, FaultVfs::armDiskFull, 0, "db.mdb-journal", "in the folder %data."},
        {Op::Compact, FaultVfs::armDiskFull, 5, "db.mdb", "in the folder %data."},
        {Op::Compact, FaultVfs::armSyncFailure, 1, "db.mdb", "disk I/O error"},
        {Op::SaveAs, FaultVfs::armDiskFull, 0, "copy.mdb", "in the folder %out."},
        {Op::SaveAs, FaultVfs::armDiskFull, 30, "copy.mdb", "in the folder %out."},
        {Op::SaveAs, FaultVfs::armWriteFailure, 3, "copy.mdb", "disk I/O error"},
        {Op::SaveAs, FaultVfs::armSyncFailure, 0, "copy.mdb", "disk I/O error"},
        {Op::Repair, FaultVfs::armDiskFull, 10, "orvtmp", "in the folder %data.", true},
        {Op::Repair, FaultVfs::armDiskFull, 3, "db.mdb", "in the folder %data.", true},
        {Op::Repair, FaultVfs::armSyncFailure, 0, "-journal", "disk I/O error", true},
    };
    FaultVfs::install();
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("%1 %2 %3 after %4")
                         .arg(name(c.op))
                         .arg(n++)
                         .arg(c.file)
                         .arg(c.after)
                         .toStdString());
        FaultVfs::reset();
        const QString path = newDatabase("db.mdb", 3000);
        if (c.damaged)
            damage(path);
        session->closeConnection();
        const QByteArray before = test::readFile(path);
        const QString report = integrityReport(path);

        c.arm(c.after, c.file);
        const FileOutcome r = run(c.op);
        EXPECT_TRUE(r.failed());
        EXPECT_TRUE(FaultVfs::fired());
        FaultVfs::reset();

        QString expect = QString(c.expect);
        expect.replace("%home", QDir::toNativeSeparators(dir.path()))
            .replace("%data", QDir::toNativeSeparators(data))
            .replace("%out", QDir::toNativeSeparators(out));
        EXPECT_TRUE(r.text.contains(expect)) << r.text.toStdString();

        // A journal the failure left behind restores the file at the next open.
        ASSERT_TRUE(session);
        session->closeConnection();
        { Database(path).scalar("select count(*) from tblsystem"); }
        EXPECT_EQ(test::readFile(path), before);
        EXPECT_EQ(integrityReport(path), report);
        EXPECT_EQ(leftovers(dir.path()), QStringList{});
        EXPECT_EQ(leftovers(out), QStringList{});
        EXPECT_EQ(leftovers(data), QStringList{"db.mdb.lock"});
        session = std::make_unique<Session>(dir.path(), &ui);
        QFile::remove(path);
    }
}

TEST_F(SafetyTest, PermissionsAndOwnerAreKept) {
    struct Case {
        Op op;
        int mode;
        bool refused;
    };
    const Case cases[] = {
        {Op::Compact, 0640, false}, {Op::Compact, 0600, false}, {Op::Compact, 0444, true},
        {Op::SaveAs, 0640, false},  {Op::SaveAs, 0600, false},  {Op::SaveAs, 0444, false},
        {Op::Repair, 0640, false},
    };
    const bool admin = ::geteuid() == 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("%1 %2").arg(name(c.op)).arg(c.mode, 0, 8).toStdString());
        const QString path = newDatabase("p.mdb", c.op == Op::Repair ? 3000 : 500);
        if (c.op == Op::Repair)
            damage(path);
        setMode(path, c.mode);
        if (admin) {
            ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 4321, 4321), 0);
        }
        const FileOutcome r = run(c.op);
        const QString result = c.op == Op::SaveAs ? QDir(out).filePath("copy.mdb") : path;
        if (c.refused) {
            EXPECT_TRUE(r.failed());
            EXPECT_EQ(r.text, QString("The database %1 is read-only and cannot be compacted.")
                                  .arg(QDir::toNativeSeparators(path)));
        } else {
            EXPECT_FALSE(r.failed()) << r.text.toStdString();
        }
        // A copy under a new name holds SSNs: its owner's alone, whatever the original allows.
        EXPECT_EQ(modeOf(result), c.op == Op::SaveAs ? 0600 : c.mode);
        EXPECT_EQ(integrityReport(result), "ok");
        if (admin && c.op != Op::SaveAs) {
            struct stat st {};
            ASSERT_EQ(::stat(QFile::encodeName(result).constData(), &st), 0);
            EXPECT_EQ(st.st_uid, 4321u);
            EXPECT_EQ(st.st_gid, 4321u);
        }
        // Scratch copies are the owner's alone.
        if (c.op == Op::Compact && !c.refused) {
            EXPECT_EQ(modeOf(dir.file("temp.mdb")), 0600);
        }
        session = std::make_unique<Session>(dir.path(), &ui);
        setMode(path, 0600);
        QFile::remove(path);
        QFile::remove(result);
    }
}

TEST_F(SafetyTest, ReplacingAFileKeepsItsPermissions) {
    const QString path = QDir(data).filePath("mine.mdb");
    test::writeFile(path, "older");
    setMode(path, 0640);
    ui.answer("Database already exists! Override?", true);
    ASSERT_EQ(createDatabase(*session, path), FileResult::Opened);
    EXPECT_EQ(modeOf(path), 0640);
    const QString copy = QDir(out).filePath("copy.mdb");
    test::writeFile(copy, "older");
    setMode(copy, 0660);
    ui.answer("Database exists! Override?", true);
    ASSERT_EQ(saveDatabaseAs(*session, copy), FileResult::Done);
    // The file replaced, not the one copied, gives the permissions.
    EXPECT_EQ(modeOf(copy), 0660);
}

TEST_F(SafetyTest, MessagesNameWhatTheUserChose) {
    const QString missing = dir.file("nowhere");
    const QString native = QDir::toNativeSeparators(missing);
    EXPECT_EQ(outcomeOf([&] { return createDatabase(*session, missing + "/x.mdb"); }).text,
              QString("The folder %1 does not exist.").arg(native));

    newDatabase("a.mdb", 1);
    const QString saved =
        outcomeOf([&] { return saveDatabaseAs(*session, missing + "/copy.mdb"); }).text;
    EXPECT_TRUE(saved.startsWith(QString("The folder %1 does not exist").arg(native)))
        << saved.toStdString();
    EXPECT_FALSE(QFileInfo::exists(missing));

    // A database that another program holds busy is in use, not foreign.
    const QString path = session->databasePath();
    session->closeConnection();
    Database other(path);
    other.exec("BEGIN EXCLUSIVE");
    EXPECT_EQ(outcomeOf([&] { return openDatabase(*session, path); }).text,
              "Unable to attach to database!\nThe database is in use by another program.");
    other.exec("ROLLBACK");
}

TEST_F(SafetyTest, StaleScratchFilesGoAndOnlyThose) {
    struct Case {
        const char* file;
        enum { Free, Live, Dead } owner;
        bool removed;
    };
    const Case cases[] = {
        {"a.mdb.orvtmp", Case::Free, true},      {"b.mdb.orvtmp", Case::Live, false},
        {"c.mdb.orvtmp", Case::Dead, true},      {"notes.orvtmp.txt", Case::Free, false},
        {"d.mdb.orvtmp.bak", Case::Free, false}, {"e.mdb.ORVTMP", Case::Free, false},
    };
    std::vector<std::unique_ptr<QLockFile>> live;
    for (const Case& c : cases) {
        const QString file = QDir(data).filePath(c.file);
        test::writeFile(file, "scratch");
        const QString database = file.chopped(QString(".orvtmp").size());
        if (c.owner == Case::Live)
            live.push_back(holdLiveLock(database));
        else if (c.owner == Case::Dead)
            leaveDeadLock(database);
    }
    // Opening any database of the folder clears what dead copies left there.
    newDatabase("open.mdb", 1);
    for (const Case& c : cases)
        EXPECT_EQ(QFile::exists(QDir(data).filePath(c.file)), !c.removed) << c.file;
    EXPECT_FALSE(QFile::exists(QDir(data).filePath("c.mdb.lock")));
    EXPECT_TRUE(QFile::exists(QDir(data).filePath("b.mdb.lock")));
}
