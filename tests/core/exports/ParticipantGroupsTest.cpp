#include "../validation/ValidationFixture.h"

#include "exports/ParticipantGroups.h"

#include <QDir>

#include <sqlite3.h>

using namespace orv;
using namespace orv::test;

namespace {

class ParticipantGroups : public ValidationTest {
protected:
    void SetUp() override {
        ValidationTest::SetUp();
        RecordFilter filter = session->recordFilter();
        filter.periodStart = QDate(2006, 7, 1);
        filter.periodEnd = QDate(2007, 6, 30);
        session->useRecordFilter(filter);
        folder = dir.file(kGroupFolderName);
    }
    // A grouped record exiting in the reporting period unless changes say otherwise.
    void addRecord(int obs, int group, const Columns& changes = {}) {
        Columns row = {{"obs", obs},
                       {"subpop", group > 0 ? QStringLiteral("1.%1").arg(group) : QString("")},
                       {"spopnum", group},
                       {"pop", "1"},
                       {"fWIAexitdate", "2006-10-15"}};
        insertMaster(db(), changed(row, changes));
    }
    QString groupFile(int group) const { return QDir(folder).filePath(groupFileName(group)); }
    QByteArray group(int g) const { return readFile(groupFile(g)); }
    QStringList folderEntries() const {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }
    void makeOldSet() {
        QDir().mkpath(folder);
        writeFile(groupFile(1), "old 1\r\n");
        writeFile(groupFile(3), "old 3\r\n");
        writeFile(QDir(folder).filePath("notes.txt"), "mine");
    }

    QString folder;
};

TEST_F(ParticipantGroups, NamesFollowTheSubpop) {
    EXPECT_EQ(groupFileName(1), "ParticipantGroup1.1.1.txt");
    EXPECT_EQ(groupFileName(7), "ParticipantGroup1.1.7.txt");
    EXPECT_EQ(groupFileName(25), "ParticipantGroup1.1.25.txt");
}

TEST_F(ParticipantGroups, LineIsTheFirst57ColumnsAsText) {
    addRecord(5, 7,
              {{"StateAbbr", "NY"},
               {"SSN", "012345678"},
               {"BirthDate", 19600102},
               {"Tenure", 2.5},
               {"WIAExitDate", 20061015},
               {"OccCode", "a,b"},
               {"Earn1QTRAfterExit", 1000.0},
               {"Earn3QTRAfterExit", 12.25},
               {"Recalled", 1},
               {"OfficeName", "Office A"}});
    const GroupExportResult r = ExportParticipantGroups(*session);
    ASSERT_TRUE(r.ok) << ui.lastMessage().toStdString();
    EXPECT_EQ(r.folder, folder);
    EXPECT_EQ(r.files, QStringList{"ParticipantGroup1.1.7.txt"});
    // Nulls empty, whole amounts without decimals, the comma in a value left as it is, nothing
    // past Earn3QTRAfterExit, CRLF.
    EXPECT_EQ(group(7), QByteArray("5,NY,012345678,19600102,,,,,,,,,,,,,,,,2.5,,,,,,,,,,,,,,,,,,,"
                                   ",,,,20061015,,,,a,b,,,,,,,,1000,,12.25\r\n"));
    EXPECT_EQ(ui.shown.size(), 1);
    EXPECT_EQ(ui.shown.last().icon, Icon::Information);
    EXPECT_TRUE(ui.lastMessage().startsWith("Export Done.\n"));
    EXPECT_TRUE(ui.lastMessage().contains(folder));
    EXPECT_TRUE(ui.work.isEmpty());
    EXPECT_FALSE(ui.busy);
}

TEST_F(ParticipantGroups, OnlyRecordsThatPassTheFilter) {
    RecordFilter filter = session->recordFilter();
    filter.officeName = "Office A";
    session->useRecordFilter(filter);
    addRecord(1, 2, {{"OfficeName", "Office A"}});
    addRecord(2, 2, {{"OfficeName", "Office B"}});
    addRecord(3, 2, {{"OfficeName", "Office A"}, {"fWIAexitdate", "2007-07-01"}});
    addRecord(4, 2, {{"OfficeName", "office a"}, {"fWIAexitdate", "2007-06-30"}});
    addRecord(5, 2, {{"OfficeName", "Office A"}, {"fWIAexitdate", "2006-07-01"}});
    addRecord(6, 0, {{"OfficeName", "Office A"}}); // a duplicate: no group
    ASSERT_TRUE(ExportParticipantGroups(*session).ok);
    QStringList obs;
    for (const QByteArray& line : group(2).split('\n'))
        if (!line.isEmpty())
            obs << QString::fromUtf8(line.left(line.indexOf(',')));
    EXPECT_EQ(obs, (QStringList{"1", "4", "5"}));
}

TEST_F(ParticipantGroups, NewSetReplacesTheOldOneGroupByGroup) {
    makeOldSet();
    addRecord(1, 1);
    addRecord(2, 12);
    addRecord(3, 1);
    addRecord(4, 25, {{"fWIAexitdate", "2008-01-01"}}); // outside the period
    const GroupExportResult r = ExportParticipantGroups(*session);
    ASSERT_TRUE(r.ok) << ui.lastMessage().toStdString();
    EXPECT_EQ(r.records, 3);
    EXPECT_EQ(r.files, (QStringList{groupFileName(1), groupFileName(12)}));
    // The counts told are those written: the group left out by the period is not among them.
    EXPECT_EQ(ui.lastMessage(), "Export Done.\n2 group files, 3 records, in " + folder + ".");
    // Group 3 had a file and has no records now: gone. Other files stay; nothing is left over.
    EXPECT_EQ(folderEntries(), (QStringList{groupFileName(1), groupFileName(12), "notes.txt"}));
    EXPECT_TRUE(group(1).startsWith("1,"));
    EXPECT_EQ(group(1).count("\r\n"), 2);
    EXPECT_EQ(readFile(QDir(folder).filePath("notes.txt")), "mine");

    // No record at all: every group file goes.
    db().exec("DELETE FROM tblORVmaster");
    ASSERT_TRUE(ExportParticipantGroups(*session).ok);
    EXPECT_EQ(folderEntries(), QStringList{"notes.txt"});
    EXPECT_EQ(ui.lastMessage(), "Export Done.\nNo record passed the record filter: there are no "
                                "group files in " +
                                    folder + ".");
}

// Stops the running statement the first time the export lets the window paint, as a failing
// disk read would.
class InterruptingFrontEnd : public ScriptedFrontEnd {
public:
    void processEvents() override {
        ScriptedFrontEnd::processEvents();
        sqlite3_interrupt(db);
    }
    sqlite3* db = nullptr;
};

TEST_F(ParticipantGroups, FailureLeavesThePreviousSet) {
    makeOldSet();
    {
        Transaction tx(db());
        for (int i = 0; i < 6000; ++i)
            addRecord(i, 1 + i % 2);
        tx.commit();
    }
    InterruptingFrontEnd interrupting;
    interrupting.db = db().handle();
    session->setFrontEnd(&interrupting);
    const GroupExportResult r = ExportParticipantGroups(*session);
    session->setFrontEnd(&ui);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.files.isEmpty());
    ASSERT_EQ(interrupting.shown.size(), 1);
    EXPECT_EQ(interrupting.shown[0].icon, Icon::Exclamation);
    EXPECT_TRUE(interrupting.shown[0].text.contains("interrupt"));
    EXPECT_EQ(group(1), "old 1\r\n");
    EXPECT_EQ(group(3), "old 3\r\n");
    EXPECT_EQ(folderEntries(), (QStringList{groupFileName(1), groupFileName(3), "notes.txt"}));
    EXPECT_TRUE(interrupting.work.isEmpty());
    EXPECT_FALSE(interrupting.busy);

    // Without the interruption the same export goes through.
    ASSERT_TRUE(ExportParticipantGroups(*session).ok);
    EXPECT_EQ(group(1).count("\r\n"), 3000);
    EXPECT_EQ(folderEntries(), (QStringList{groupFileName(1), groupFileName(2), "notes.txt"}));
}

TEST_F(ParticipantGroups, FolderThatCannotBeMadeIsAFailure) {
    writeFile(folder, "a file where the folder should be");
    addRecord(1, 1);
    const GroupExportResult r = ExportParticipantGroups(*session);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(ui.shown.last().icon, Icon::Exclamation);
    EXPECT_EQ(readFile(folder), "a file where the folder should be");
}

} // namespace
