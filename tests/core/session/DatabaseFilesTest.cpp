#include "FileCommandOutcome.h"
#include "ScriptedFrontEnd.h"
#include "TestSupport.h"

#include "program/DataSource.h"
#include "session/DatabaseFiles.h"
#include "session/Session.h"

#include <gtest/gtest.h>

#include <functional>

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace orv;
using test::outcomeOf;
using test::ScriptedFrontEnd;

namespace {

class FilesTest : public test::SessionTest {
protected:
    QString newDatabase(const QString& name, int masterRows = 0) {
        return SessionTest::newDatabase(dir.file(name), masterRows);
    }
    long long masterRows() {
        return session->db().scalar("select count(*) from tblORVmaster").toLongLong();
    }
};

} // namespace

TEST_F(FilesTest, CreateOpensAFreshCopyOfTheTemplate) {
    const QString path = dir.file("run.mdb");
    ASSERT_EQ(createDatabase(*session, path), FileResult::Opened);
    EXPECT_TRUE(session->isOpen());
    EXPECT_EQ(session->databasePath(), path);
    EXPECT_EQ(session->databaseName(), "run.mdb");
    EXPECT_EQ(ui.database, "run.mdb");
    EXPECT_TRUE(ui.hasDatabase);
    EXPECT_EQ(ui.work, "");
    EXPECT_FALSE(ui.busy);
    EXPECT_EQ(datasource::attribute(kDataSourceName, "DBQ"), path);
}

TEST_F(FilesTest, CreateOverExistingFileAnsweredNoLeavesItAlone) {
    const QString path = dir.file("mine.mdb");
    test::writeFile(path, "precious");
    EXPECT_EQ(createDatabase(*session, path), FileResult::Cancelled);
    EXPECT_EQ(ui.asked, QStringList{"Database already exists! Override?"});
    EXPECT_EQ(test::readFile(path), "precious");
    EXPECT_FALSE(session->isOpen());
    EXPECT_FALSE(ui.hasDatabase);

    ui.answer("Database already exists! Override?", true);
    EXPECT_EQ(createDatabase(*session, path), FileResult::Opened);
    EXPECT_EQ(masterRows(), 0);
}

TEST_F(FilesTest, CreateWithoutTemplateReportsIt) {
    QFile::remove(dir.file("ORVTemplate.xmdb"));
    const auto r = outcomeOf([&] { return createDatabase(*session, dir.file("a.mdb")); });
    EXPECT_TRUE(r.failed());
    EXPECT_TRUE(r.text.contains("ORVTemplate.xmdb"));
    EXPECT_EQ(r.icon, Icon::Exclamation);
    EXPECT_FALSE(QFile::exists(dir.file("a.mdb")));
}

TEST_F(FilesTest, OpenFailuresKeepPathsAndCloseConnection) {
    const QString good = newDatabase("good.mdb");
    ASSERT_TRUE(session->isOpen());

    QString jet(2048, QChar(0));
    jet.replace(4, 15, "Standard Jet DB");
    test::writeFile(dir.file("text.mdb"), "just some words\n");
    test::writeFile(dir.file("jet.mdb"), jet.toLatin1());
    {
        Database foreign(dir.file("foreign.mdb"), Database::Mode::Create);
        foreign.exec("create table tblsystem (x); create table tblORVmaster (y);");
    }
    for (const char* bad : {"missing.mdb", "text.mdb", "jet.mdb", "foreign.mdb"}) {
        ui.shown.clear();
        const auto r = outcomeOf([&] { return openDatabase(*session, dir.file(bad)); });
        EXPECT_TRUE(r.failed()) << bad;
        EXPECT_FALSE(session->isOpen()) << bad;
        EXPECT_EQ(session->databasePath(), good) << bad;
        EXPECT_EQ(session->databaseName(), "good.mdb") << bad;
        // The front end shows the failure; core shows nothing itself.
        EXPECT_TRUE(ui.shown.isEmpty()) << bad;
        EXPECT_TRUE(r.text.startsWith("Unable to attach to database!\n")) << bad;
        EXPECT_GT(r.text.size(), QString("Unable to attach to database!\n").size());
        EXPECT_EQ(r.icon, Icon::Critical);
        EXPECT_FALSE(r.endsProgram);
    }
    EXPECT_FALSE(QFile::exists(dir.file("missing.mdb")));
    EXPECT_EQ(openDatabase(*session, good), FileResult::Opened);
}

TEST_F(FilesTest, OpenWithoutFileNameSaysSo) {
    EXPECT_EQ(openDatabase(*session, QString()), FileResult::Cancelled);
    EXPECT_EQ(ui.lastMessage(), "No file has been selected.");
}

TEST_F(FilesTest, NameWithoutSeparatorIsTheWholePath) {
    const QString path = newDatabase("plain.mdb");
    QDir::setCurrent(dir.path());
    ASSERT_NO_THROW(session->openDatabaseConnection("plain.mdb"));
    EXPECT_EQ(session->databaseName(), "plain.mdb");
}

TEST_F(FilesTest, SaveAsCopiesEveryRowAndStaysOrMoves) {
    const QString original = newDatabase("orig.mdb", 500);
    const QString copy = dir.file("copy.mdb");
    ui.answer("Do you want to stay in your original database?", true);
    ASSERT_EQ(saveDatabaseAs(*session, copy), FileResult::Done);
    EXPECT_EQ(session->databasePath(), original);
    EXPECT_EQ(masterRows(), 500);

    ui.answer("Database exists! Override?", true);
    ui.answer("Do you want to stay in your original database?", false);
    ASSERT_EQ(saveDatabaseAs(*session, copy), FileResult::Done);
    EXPECT_EQ(session->databasePath(), copy);
    EXPECT_EQ(masterRows(), 500);
    EXPECT_EQ(integrityReport(copy), "ok");
}

TEST_F(FilesTest, SaveAsRefusesTheSameName) {
    const QString original = newDatabase("orig.mdb");
    const auto r = outcomeOf([&] { return saveDatabaseAs(*session, original); });
    EXPECT_TRUE(r.failed());
    EXPECT_EQ(r.text, "Can't save to the same file name.");
    EXPECT_EQ(r.icon, Icon::Exclamation);
    EXPECT_TRUE(session->isOpen());
}

TEST_F(FilesTest, SaveAsFailureKeepsTargetAndReopensOriginal) {
    const QString original = newDatabase("orig.mdb", 10);
    const QString copy = dir.file("copy.mdb");
    test::writeFile(copy, "older file");
    ui.answer("Database exists! Override?", true);
    auto fail = [](std::string_view step) {
        if (step == "replace")
            throw DbError("disk full");
    };
    const auto r = outcomeOf([&] { return saveDatabaseAs(*session, copy, fail); });
    EXPECT_TRUE(r.failed());
    // Others leaving the database would not help.
    EXPECT_EQ(r.text, "disk full");
    EXPECT_EQ(test::readFile(copy), "older file");
    EXPECT_EQ(session->databasePath(), original);
    EXPECT_EQ(masterRows(), 10);
}

TEST_F(FilesTest, CompactKeepsRowsAndLeavesScratchCopy) {
    const QString path = newDatabase("big.mdb", 2000);
    session->db().exec("delete from tblORVmaster where obs > 100");
    const qint64 before = QFileInfo(path).size();
    test::writeFile(dir.file("temp.mdb"), "stale");
    ASSERT_EQ(compactDatabaseFile(*session), FileResult::Done);
    EXPECT_TRUE(session->isOpen());
    EXPECT_EQ(masterRows(), 100);
    EXPECT_LT(QFileInfo(path).size(), before);
    EXPECT_TRUE(QFile::exists(dir.file("temp.mdb")));
    EXPECT_EQ(integrityReport(dir.file("temp.mdb")), "ok");
    EXPECT_GE(ui.yields, 1);
}

TEST_F(FilesTest, CompactFailureLeavesTheOriginal) {
    const QString path = newDatabase("big.mdb", 300);
    for (const char* where : {"compact", "replace"}) {
        ui.shown.clear();
        const QByteArray before = test::readFile(path);
        auto fail = [where](std::string_view step) {
            if (step == where)
                throw DbError("injected");
        };
        const auto r = outcomeOf([&] { return compactDatabaseFile(*session, fail); });
        EXPECT_TRUE(r.failed());
        EXPECT_EQ(r.text, "injected");
        EXPECT_EQ(r.icon, Icon::Exclamation);
        EXPECT_TRUE(ui.shown.isEmpty());
        EXPECT_EQ(test::readFile(path), before);
        EXPECT_TRUE(session->isOpen());
        EXPECT_EQ(masterRows(), 300);
    }
}

// Cancel pressed while only scratch files are written leaves everything as it was.
TEST_F(FilesTest, StoppedCompactSaveAsAndRepairChangeNothing) {
    const QString path = newDatabase("s.mdb", 2000);
    const QString copy = dir.file("copy.mdb");
    ui.answer("Repair the VRQ database?", true);
    const struct {
        const char* name;
        std::function<FileResult()> run;
        QStringList progress; // what is told until the stop
    } cases[] = {
        {"compact", [&] { return compactDatabaseFile(*session); }, {"Compacting the database..."}},
        {"save as", [&] { return saveDatabaseAs(*session, copy); }, {"Copying the database..."}},
        {"repair", [&] { return repairDatabaseFile(*session); }, {"Checking the database..."}},
    };
    for (const auto& c : cases) {
        const QByteArray before = test::readFile(path);
        ui.progressTexts.clear();
        ui.shown.clear();
        ui.cancelAtStep = 0;
        EXPECT_EQ(c.run(), FileResult::Cancelled) << c.name;
        EXPECT_EQ(ui.progressTexts, c.progress) << c.name;
        EXPECT_TRUE(ui.shown.isEmpty()) << c.name << ": " << ui.lastMessage().toStdString();
        EXPECT_EQ(test::readFile(path), before) << c.name;
        EXPECT_FALSE(QFile::exists(copy)) << c.name;
        EXPECT_FALSE(QFile::exists(dir.file("temp.mdb"))) << c.name;
        EXPECT_TRUE(QDir(dir.path()).entryList({"*.orvtmp*"}).isEmpty()) << c.name;
        ASSERT_TRUE(session->isOpen()) << c.name;
        EXPECT_EQ(masterRows(), 2000) << c.name;
    }
    // Not stopped, a compact tells each of its steps.
    ui.progressTexts.clear();
    ASSERT_EQ(compactDatabaseFile(*session), FileResult::Done);
    EXPECT_EQ(ui.progressTexts,
              QStringList({"Compacting the database...", "Checking the new copy...",
                           "Writing the database..."}));
}

TEST_F(FilesTest, RepairAnsweredNoDoesNothing) {
    newDatabase("r.mdb");
    EXPECT_EQ(repairDatabaseFile(*session), FileResult::Cancelled);
    EXPECT_TRUE(session->isOpen());
}

TEST_F(FilesTest, RepairOfSoundFileReports) {
    newDatabase("r.mdb", 5);
    ui.answer("Repair the VRQ database?", true);
    EXPECT_EQ(repairDatabaseFile(*session), FileResult::Done);
    EXPECT_EQ(ui.lastMessage(), "End of repair procedure!");
    EXPECT_EQ(ui.shown.last().icon, Icon::Information);
    EXPECT_EQ(masterRows(), 5);
}

TEST_F(FilesTest, RepairRebuildsDamagedFile) {
    const QString path = newDatabase("dmg.mdb", 3000);
    session->db().exec("INSERT INTO tblHistory (ChangedAt, Source, obs, Item) "
                       "VALUES ('2026-12-08T10:15:00Z', 'screen', 1, 'VetP/F')");
    session->closeConnection();
    QByteArray bytes = test::readFile(path);
    // The page size stands big-endian at offset 16 of the header.
    const int page = (uchar(bytes[16]) << 8) | uchar(bytes[17]);
    ASSERT_GT(bytes.size(), 60 * page);
    // Wipe a page deep inside the master's rows.
    for (int i = 0; i < page; ++i)
        bytes[40 * page + i] = char(0xA5);
    test::writeFile(path, bytes);
    ASSERT_NE(integrityReport(path), "ok");

    session->useDatabaseFile(path);
    ui.answer("Repair the VRQ database?", true);
    EXPECT_EQ(repairDatabaseFile(*session), FileResult::Done);
    EXPECT_EQ(ui.lastMessage(), "End of repair procedure!");
    EXPECT_EQ(integrityReport(path), "ok");
    ASSERT_TRUE(session->isOpen());
    const long long rows = masterRows();
    EXPECT_GT(rows, 2500);
    EXPECT_LE(rows, 3000);
    EXPECT_EQ(session->db().scalar("select count(*) from tblsystem").toInt(), 1);
    EXPECT_THROW(session->db().exec("insert into tblsystem (PopType) values ('x')"), DbError);
    // The history comes through whole and stays append-only.
    EXPECT_THROW(session->db().exec("delete from tblHistory"), DbError);
    EXPECT_EQ(session->db().scalar("select count(*) from tblHistory").toInt(), 1);
}

TEST_F(FilesTest, FailedRepairKeepsTheFile) {
    const QString path = newDatabase("r.mdb", 5);
    ui.answer("Repair the VRQ database?", true);
    auto fail = [](std::string_view step) {
        if (step == "check")
            throw DbError("locked");
    };
    const auto r = outcomeOf([&] { return repairDatabaseFile(*session, fail); });
    EXPECT_TRUE(r.failed());
    EXPECT_EQ(r.text, "Repair unsuccessful!\rlocked");
    EXPECT_EQ(r.icon, Icon::Exclamation);
    EXPECT_FALSE(r.endsProgram);
    EXPECT_EQ(masterRows(), 5);
}

TEST_F(FilesTest, DataSourceIsCreatedOnce) {
    ensureDataSource(session->ui(), session->programDir());
    const QString mdb = dir.file("ORVTemplate.mdb");
    EXPECT_TRUE(QFile::exists(mdb));
    EXPECT_TRUE(datasource::exists(kDataSourceName));
    EXPECT_EQ(datasource::attribute(kDataSourceName, "Driver"), kDataSourceDriver);
    EXPECT_EQ(datasource::attribute(kDataSourceName, "Database"), mdb);
    EXPECT_EQ(datasource::attribute(kDataSourceName, "DBQ"), mdb);

    // With the record present nothing is restored, even when the template copy is gone.
    QFile::remove(mdb);
    ensureDataSource(session->ui(), session->programDir());
    EXPECT_FALSE(QFile::exists(mdb));
    EXPECT_TRUE(datasource::orvNames().contains(kDataSourceName));
}

TEST_F(FilesTest, ExistingTemplateCopyIsNotOverwritten) {
    test::writeFile(dir.file("ORVTemplate.mdb"), "edited template");
    ensureDataSource(session->ui(), session->programDir());
    EXPECT_EQ(test::readFile(dir.file("ORVTemplate.mdb")), "edited template");
}

TEST_F(FilesTest, MissingTemplatesFailEnsure) {
    QFile::remove(dir.file("ORVTemplate.xmdb"));
    EXPECT_THROW(ensureDataSource(session->ui(), session->programDir()), DbError);
    EXPECT_FALSE(datasource::exists(kDataSourceName));
}

TEST_F(FilesTest, SwitchOpensTheDatabaseBehindADataSource) {
    const QString a = newDatabase("a.mdb", 3);
    datasource::write("ORVOther", kDataSourceDriver, a);
    newDatabase("b.mdb");
    EXPECT_EQ(switchDatabase(*session, "ORVOther"), FileResult::Opened);
    EXPECT_EQ(session->databasePath(), a);
    EXPECT_EQ(masterRows(), 3);
    const auto r = outcomeOf([&] { return switchDatabase(*session, "ORVNone"); });
    EXPECT_TRUE(r.failed());
    EXPECT_TRUE(r.text.startsWith("Unable to log into system "));
    EXPECT_EQ(r.icon, Icon::Critical);
    EXPECT_FALSE(ui.hasDatabase);
}
