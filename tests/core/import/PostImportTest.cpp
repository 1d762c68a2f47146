#include "../validation/ValidationFixture.h"

#include "import/PostImport.h"

using namespace orv;
using namespace orv::test;

namespace {

const QString kUnassigned = QStringLiteral(
    " - (Unable to assign to a performance outcome group. Some columns do not meet data "
    "requirements.)");

class PostImportTest : public ValidationTest {
protected:
    int nextObs = 1;

    // A record of group 13 (employed, wages in all three quarters) unless changed by `extra`.
    int addRecord(const QString& ssn, int exitDate, const Columns& extra = {}) {
        const int obs = nextObs++;
        Columns c = {{"obs", obs},
                     {"SSN", ssn},
                     {"WIAExitDate", exitDate},
                     {"EmploymentStatus", 1},
                     {"EmpQTR+1", 1},
                     {"TypeEmpQTR+1AfterExit", 1},
                     {"Earn1QTRAfterExit", 500},
                     {"EmpQTR+2AfterExit", 1},
                     {"TypeEmpQTR+2AfterExit", 1},
                     {"Earn2QTRAfterExit", 600},
                     {"EmpQTR+3", 1},
                     {"TypeEmpQTR+3AfterExit", 1},
                     {"Earn3QTRAfterExit", 700},
                     {"SamplingUnit", 1},
                     {"CaseMgr", "Smith"},
                     {"OfficeName", "East"},
                     {"Weight", 2},
                     {"subpop", 0},
                     {"spopnum", 0},
                     {"pop", 0},
                     {"randno", 5000 + obs}};
        insertMaster(db(), changed(c, extra));
        return obs;
    }
    void addRecords(int n) {
        for (int i = 0; i < n; ++i)
            addRecord(QStringLiteral("1000%1").arg(nextObs), 20061015);
    }
    qint64 run(quint32 seed = 1) { return runPostImport(*session, view, log, seed); }

    RecordingView view;
    ImportLog log;
};

} // namespace

TEST_F(PostImportTest, CleanImportEndsComplete) {
    addRecords(5);
    EXPECT_EQ(run(), 5);
    EXPECT_TRUE(log.entries.isEmpty());
    EXPECT_EQ(log.errorCount, 0);
    EXPECT_EQ(view.labels[1] + '|' + view.labels[2] + '|' + view.labels[3],
              "Import Complete.|Number of Records Imported: 5|");
    EXPECT_TRUE(view.history.contains("2:Working Please Wait."));
    EXPECT_TRUE(view.history.contains("3:Building Sample."));
    EXPECT_TRUE(ui.busy);
    EXPECT_TRUE(ui.shown.isEmpty());
    EXPECT_EQ(count("SELECT count(*) FROM tblORVmaster WHERE spopnum = 13"), 5);
    EXPECT_EQ(count("SELECT count(*) FROM tblsample"), 5);
    EXPECT_EQ(value("SELECT State FROM tblsystem"), QVariant(QString(""))) << "no state: empty";
}

TEST_F(PostImportTest, UnassignedRecordsAreListedAndDuplicatesThenLeftAlone) {
    addRecords(2);
    addRecord("222", 20061015);
    addRecord("222", 20061015);
    addRecord("333", 20061015, {{"EmploymentStatus", QVariant()}});
    EXPECT_EQ(run(), 4);
    EXPECT_EQ(log.entries, QStringList({"OBS #5,ID #333" + kUnassigned}));
    EXPECT_EQ(log.errorCount, 1);
    EXPECT_EQ(count("SELECT count(*) FROM tblORVmaster WHERE SSN = '222' AND spopnum = 13"), 2);
}

TEST_F(PostImportTest, DuplicatesAreReportedOnceAndCountedEach) {
    addRecords(3);
    addRecord("222", 20061015);
    addRecord("222", 20061015);
    addRecord("444", 20061016);
    addRecord("444", 20061016);
    addRecord("444", 20061016);
    // The same digits run together, but another pair: not a duplicate.
    addRecord("44", 420061016);
    addRecord("222", 20061016);

    EXPECT_EQ(run(), 5);
    EXPECT_EQ(log.entries,
              QStringList({"5  duplicates exist. Please see the duplicates report for detail."}));
    EXPECT_EQ(log.errorCount, 5);
    EXPECT_EQ(count("SELECT count(*) FROM tblORVmaster WHERE spopnum = 0 AND subpop = ''"), 5);
    EXPECT_EQ(count("SELECT count(*) FROM tblORVmaster WHERE spopnum = 0 AND "
                    "SSN IN ('222', '444') AND WIAExitDate IN (20061015, 20061016)"),
              5);
    // The duplicates report reads them from where the import left them.
    EXPECT_EQ(count("SELECT count(*) FROM tblDuplicateRecords AS x JOIN tblORVmaster AS m "
                    "ON m.rowid = x.rid WHERE m.spopnum = 0 AND m.SSN IN ('222', '444')"),
              5);
    EXPECT_EQ(count("SELECT count(*) FROM tblDuplicateRecords"), 5);
    EXPECT_EQ(view.labels[2], "Number of Records Imported: 5");
}

TEST_F(PostImportTest, WeightsFollowTheEmploymentAfterExit) {
    struct Case {
        const char* name;
        QVariant emp1, earn1, emp3, earn3;
        QVariant before;
        QVariant after;
    };
    const Case cases[] = {
        {"wages in 1st and 3rd quarter", 1, 500, 1, 700, 0, 2},
        {"no wages in 1st quarter", 1, 0, 1, 700, 0, 3},
        {"Null wages in 1st quarter", 1, QVariant(), 2, 700, 0, 3},
        {"no wages in 3rd quarter", 1, 500, 1, 0, 0, 3},
        {"Null wages in 3rd quarter", 1, 500, 1, QVariant(), 0, 3},
        {"not employed in 3rd quarter", 1, 500, 2, QVariant(), 0, 2},
        {"3rd quarter unknown", 1, 500, QVariant(), 0, 0, 2},
        {"not employed in 1st quarter", 2, 500, 1, 0, 0, 1},
        {"1st quarter 3", 3, QVariant(), QVariant(), QVariant(), 0, 1},
        {"1st quarter unknown keeps the import's weight", QVariant(), 500, 1, 0, 2, 2},
        {"matched by no rule keeps the import's weight", 1, 500, 0, 700, 0, 0},
    };
    for (const Case& c : cases)
        addRecord(QString::fromLatin1(c.name), 20061015,
                  {{"EmpQTR+1", c.emp1},
                   {"Earn1QTRAfterExit", c.earn1},
                   {"EmpQTR+3", c.emp3},
                   {"Earn3QTRAfterExit", c.earn3},
                   {"Weight", c.before}});
    run();
    for (const Case& c : cases)
        EXPECT_EQ(value("SELECT Weight FROM tblORVmaster WHERE SSN = ?", {c.name}), c.after)
            << c.name;
}

TEST_F(PostImportTest, RecordsWithoutUnitAreSampledAsOneUnitAndKeepNoUnit) {
    for (int i = 0; i < 4; ++i)
        addRecord(QStringLiteral("N%1").arg(i), 20061015, {{"SamplingUnit", QVariant()}});
    addRecord("R1", 20061015, {{"SamplingUnit", 999999}});
    addRecord("U1", 20061015, {{"SamplingUnit", 7}, {"CaseMgr", "Jones"}});
    run();
    EXPECT_EQ(count("SELECT count(*) FROM tblsample WHERE SamplingUnit = 999999"), 5);
    EXPECT_EQ(count("SELECT count(*) FROM tblsupport WHERE sType = 'U' AND "
                    "SamplingUnit = 999999 AND totrec = 5"),
              1);
    EXPECT_EQ(count("SELECT count(*) FROM tblORVmaster WHERE SamplingUnit IS NULL"), 4);
    // A unit that really is numbered 999999 keeps its number.
    EXPECT_EQ(value("SELECT SamplingUnit FROM tblORVmaster WHERE SSN = 'R1'").toInt(), 999999);
    // One 'S' row per unit and case manager, the empty unit included.
    EXPECT_EQ(value("SELECT group_concat(ifnull(SamplingUnit, 'Null') || ':' || CaseMgr, ' ') "
                    "FROM (SELECT * FROM tblsupport WHERE sType = 'S' ORDER BY SamplingUnit)")
                  .toString(),
              "Null:Smith 7:Jones 999999:Smith");
}

TEST_F(PostImportTest, UnitRowsAreReplaced) {
    insertRow(db(), "tblsupport", {{"sType", "S"}, {"SamplingUnit", 42}, {"CaseMgr", "Old"}});
    addRecords(2);
    run();
    EXPECT_EQ(count("SELECT count(*) FROM tblsupport WHERE sType = 'S'"), 1);
    EXPECT_EQ(count("SELECT count(*) FROM tblsupport WHERE sType = 'S' AND SamplingUnit = 1 AND "
                    "CaseMgr = 'Smith'"),
              1);
}

TEST_F(PostImportTest, BlockedValuesAreClearedInTheSample) {
    addRecords(2);
    addRecord("555", 20061015, {{"OfficeName", "N/A"}});
    insertRow(db(), "tblBlockedFields", {{"ColumnName", "OfficeName"}, {"BlockedValue", "'N/A'"}});
    run();
    EXPECT_EQ(count("SELECT count(*) FROM tblsample WHERE OfficeName IS NULL"), 1);
    EXPECT_EQ(count("SELECT count(*) FROM tblsample WHERE OfficeName = 'East'"), 2);
    EXPECT_EQ(count("SELECT count(*) FROM tblORVmaster WHERE OfficeName = 'N/A'"), 1);
}

TEST_F(PostImportTest, StoresTheStateAndTurnsTheFiltersOff) {
    db().exec("UPDATE tblsystem SET CaseMgr = 'Smith', OfficeName = 'East', WibName = 'W1'");
    Settings settings = session->settings();
    settings.caseMgr = "smith";
    settings.state = "NY";
    settings.reportingPeriodStart = QDate(2006, 7, 1);
    settings.reportingPeriodEnd = QDate(2007, 6, 30);
    session->useSettings(settings);
    RecordFilter filter = session->recordFilter();
    filter.officeName = "East";
    session->useRecordFilter(filter);
    addRecords(2);
    run();

    EXPECT_EQ(value("SELECT State || '|' || OfficeName || '|' || WibName || '|' || CaseMgr "
                    "FROM tblsystem")
                  .toString(),
              "NY| | | ");
    EXPECT_TRUE(session->settings().caseMgr.isEmpty());
    const RecordFilter& f = session->recordFilter();
    EXPECT_FALSE(f.anyFilter());
    EXPECT_EQ(std::pair(f.periodStart, f.periodEnd),
              std::pair(QDate(2006, 7, 1), QDate(2007, 6, 30)));
    EXPECT_EQ(f.text(), "");
    EXPECT_EQ(ui.filterState, "Filter (OFF)");
}

TEST_F(PostImportTest, FiltersOfAnotherCaseManagerStay) {
    db().exec("UPDATE tblsystem SET CaseMgr = 'Smith', OfficeName = 'East', WibName = ' '");
    Settings settings = session->settings();
    settings.caseMgr = "Jones";
    session->useSettings(settings);
    addRecords(1);
    run();
    EXPECT_EQ(value("SELECT OfficeName FROM tblsystem").toString(), "East");
    EXPECT_EQ(session->recordFilter().officeName, "East");
    EXPECT_EQ(session->recordFilter().caseMgr, "Smith");
    EXPECT_EQ(session->recordFilter().text(),
              "tblORVMaster.OfficeName = 'East' tblORVMaster.CaseMgr = 'Smith' ");
    EXPECT_EQ(ui.filterState, "Filter (ON)");
}

TEST_F(PostImportTest, RefusedGroupsAreShownAndEveryRecordIsListed) {
    addRecords(2);
    Settings settings = session->settings();
    settings.popType = "9";
    session->useSettings(settings);
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(log.entries,
              QStringList({"OBS #1,ID #10001" + kUnassigned, "OBS #2,ID #10002" + kUnassigned}));
    EXPECT_EQ(count("SELECT count(*) FROM tblsample"), 0);
    EXPECT_EQ(view.labels[1], "Import Complete.");
}

// Whatever step fails, the run throws and every step's work is undone.
TEST_F(PostImportTest, AFailingStepUndoesTheWholeRun) {
    const struct {
        const char* name;
        const char* refusal; // run before the steps; refuses one of them
        const char* undo;
        const char* message;
    } cases[] = {
        {"the draw",
         "CREATE TEMP TRIGGER refuse BEFORE INSERT ON main.tblsupport "
         "WHEN new.sType = 'U' BEGIN SELECT RAISE(ABORT, 'refused'); END",
         "DROP TRIGGER temp.refuse", "refused"},
        {"the draw's log",
         "CREATE TEMP TRIGGER refuse BEFORE INSERT ON main.tblSampleLog "
         "BEGIN SELECT RAISE(ABORT, 'log refused'); END",
         "DROP TRIGGER temp.refuse", "log refused"},
        {"the blocked fields",
         "INSERT INTO tblBlockedFields (ColumnName, BlockedValue) VALUES ('NoSuchColumn', '1')",
         "DELETE FROM tblBlockedFields", "no such column: NoSuchColumn"},
        {"no sample table", "ALTER TABLE tblsample RENAME TO tblsample_gone",
         "ALTER TABLE tblsample_gone RENAME TO tblsample", "no such table: tblsample"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        db().exec("DELETE FROM tblORVmaster");
        addRecords(3);
        addRecord("N1", 20061015, {{"SamplingUnit", QVariant()}});
        db().exec("UPDATE tblsystem SET State = 'XX', CaseMgr = 'Smith'");
        Settings settings = session->settings();
        settings.state = "NY";
        settings.caseMgr = "Smith";
        session->useSettings(settings);
        const qint64 sample = count("SELECT count(*) FROM tblsample");
        db().exec(c.refusal);
        view.labels.clear();
        try {
            run();
            ADD_FAILURE() << "the run went on";
        } catch (const DbError& e) {
            EXPECT_TRUE(e.message().startsWith(c.message)) << e.message().toStdString();
        }
        db().exec(c.undo);
        EXPECT_NE(view.labels[1], "Import Complete.");
        EXPECT_TRUE(ui.shown.isEmpty()) << "the caller tells the user";
        EXPECT_EQ(count("SELECT count(*) FROM tblsample"), sample);
        EXPECT_EQ(count("SELECT count(*) FROM tblORVmaster WHERE spopnum <> 0"), 0);
        EXPECT_EQ(count("SELECT count(*) FROM tblORVmaster WHERE SamplingUnit IS NULL"), 1);
        EXPECT_EQ(count("SELECT count(*) FROM tblsupport"), 0);
        EXPECT_EQ(value("SELECT State || CaseMgr FROM tblsystem").toString(), "XXSmith");
        EXPECT_EQ(session->settings().caseMgr, "Smith");
    }
}
