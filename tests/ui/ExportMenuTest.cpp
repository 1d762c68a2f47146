// The export and counts entries of the menu run the core's jobs on the open database.
#include "WorksheetFixture.h"

#include <QDir>
#include <QMenuBar>

using namespace orv;

namespace {

using ExportMenu = test::WorksheetTest;

TEST_F(ExportMenu, GroupFilesAndReportedCounts) {
    // Report Validation > Export Performance Outcome Groups: every imported record is in group 1.
    menu("mnuRptVal", 3)->trigger();
    const QDir groups(dir.file("Participants Extract"));
    EXPECT_EQ(groups.entryList({"*.txt"}), QStringList({"ParticipantGroup1.1.1.txt"}));
    EXPECT_TRUE(fe().lastMessage().startsWith("Export Done.")) << fe().lastMessage().toStdString();
    EXPECT_EQ(test::readFile(groups.filePath("ParticipantGroup1.1.1.txt")).count("\r\n"), kRecords);
    EXPECT_TRUE(window->menuBar()->isEnabled());

    // Import Data > Import Reported Counts: U011 in its counts mode replaces the table.
    const QString counts = dir.file("counts.csv");
    test::writeFile(counts, "A1,Entered employment,1,2,3,4,5,6,7,8,9\r\n"
                            "A2,O'Brien's cell,10,,30,40,50,60,70,80,90\r\n");
    fe().setNextFileName(counts);
    fe().setNextAnswer(true);
    menu("mnuImpDat", 10)->trigger();
    ASSERT_TRUE(screen("U011"));
    EXPECT_EQ(fe().questions().size(), 1);
    Database& db = session().db();
    EXPECT_EQ(db.scalar("SELECT count(*) FROM tblReportedCounts").toInt(), 18);
    // The sample was not touched: its screens may stay.
    EXPECT_EQ(sampleRows(), kRecords);

    // The extract import still runs from its own entry afterwards.
    importExtract(extractLines());
    EXPECT_EQ(db.scalar("SELECT count(*) FROM tblORVmaster").toInt(), kRecords);
}

// Data Validation > Export Summary/Analytical: without a sample there is nothing to submit.
TEST_F(ExportMenu, SummaryWithoutASampleWritesNothing) {
    session().db().exec("DELETE FROM tblsample");
    menu("mnuwks1", 7)->trigger();
    EXPECT_EQ(fe().lastMessage(), "There is no sample to export.");
    EXPECT_TRUE(QDir(dir.path()).entryList({"*.xml"}).isEmpty());
    EXPECT_TRUE(window->menuBar()->isEnabled());
}

} // namespace
