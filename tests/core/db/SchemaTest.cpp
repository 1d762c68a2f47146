#include "TestSupport.h"

#include "db/Database.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace orv;

namespace {

QStringList columnsOf(Database& db, const char* table) {
    Statement st = db.prepare(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table).toStdString());
    QStringList out;
    while (st.step())
        out << st.text(1);
    return out;
}

class SchemaTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = dir.file("t.mdb");
        ASSERT_TRUE(QFile::copy(test::templatePath(), path));
        db = Database(path);
    }
    test::ProgramDir dir;
    QString path;
    Database db;
};

// The master's columns in the extract's order, then the ones the import adds.
const QStringList kMasterColumns =
    QStringLiteral(
        "obs StateAbbr SSN BirthDate Gender Disability Hispanic AmerIndian Asian Black Hawaiian "
        "White Vet EmploymentStatus LEP UCStatus PellGrant SchoolGrade DislocDate Tenure AppDate "
        "Petition ProgramType PartDate EnterTrainDate TrainEndDate TrainComp Travel Subsistence "
        "OccTrainCode RecvdOccTrain OJT RemedialTrain CustomTrain TRA AddlTRA RemedialTRA Waiver "
        "JobSearchAllow Relocation WIARegDate FedCoenroll WIAExitDate OtherReasonForExit EmpQTR+1 "
        "TypeEmpQTR+1AfterExit OccCode EmpQTR+2AfterExit TypeEmpQTR+2AfterExit EmpQTR+3 "
        "TypeEmpQTR+3AfterExit Earn3QTRPriorToParticipation Earn2QTRPriorToParticipation "
        "Earn1QTRPriorToParticipation Earn1QTRAfterExit Earn2QTRAfterExit Earn3QTRAfterExit "
        "Recalled AORVPart OfficeName WibName CaseMgr SamplingUnit UserId Weight subpop spopnum "
        "pop randno fWIARegDate fWIAexitdate")
        .split(QLatin1Char(' '));

} // namespace

TEST_F(SchemaTest, TablesAndColumnsInOrder) {
    EXPECT_EQ(kMasterColumns.size(), 71);
    EXPECT_EQ(columnsOf(db, "tblORVmaster"), kMasterColumns);
    EXPECT_EQ(columnsOf(db, "tbltemp"),
              QStringList({"rptcell", "subpops", "ctype", "cfield", "cval", "cweight", "pct", "Ref",
                           "seq", "allchecked", "extra", "InvalidRec", "WrongSSN"}));
    const QStringList sample = columnsOf(db, "tblsample");
    EXPECT_EQ(sample.mid(0, 5), QStringList({"seqno", "sampletype", "chk", "obs", "ssn"}));
    QStringList marks;
    for (const QString& c : sample)
        if (c.toUpper().contains("P/F"))
            marks << c;
    EXPECT_EQ(marks, QStringList({"VetP/F", "DislocDateP/F", "AppDateP/F", "PetitionP/F",
                                  "EnterTrainDateP/F", "TrainEndDateP/F", "TrainCompP/F", "TRAP/F",
                                  "WaiverP/F", "WIAExitDateP/F", "EmpQtr+1P/F", "EmpQtr+3P/F",
                                  "Earn3QTRPriorToParticipationP/F",
                                  "Earn2QTRPriorToParticipationP/F", "Earn1QTRAfterExitP/F",
                                  "Earn2QTRAfterExitP/F", "Earn3QTRAfterExitP/F"}));
    EXPECT_EQ(
        sample.mid(sample.size() - 5),
        QStringList({"WrongSSN", "UnableToLocate", "MissingRecord", "InvalidRecord", "Comments"}));
    EXPECT_EQ(columnsOf(db, "tblsystem"),
              QStringList({"FiscalYear", "Period", "PeriodEnd", "ReportingPeriodStart",
                           "ReportingPeriodEnd", "SampleStartDate", "OfficeName", "WibName",
                           "CaseMgr", "State", "PopType", "showtips"}));
    for (const char* t : {"tblstates", "tblsupport", "tblBlockedFields", "tblvalidation",
                          "tblReportedCounts", "tblValSummaryNotes", "tblRptValDupps"})
        EXPECT_TRUE(db.tableExists(t)) << t;
}

TEST_F(SchemaTest, NamesAndTextCompareWithoutCase) {
    EXPECT_EQ(db.scalar("select count(*) from TBLorvMASTER").toInt(), 0);
    EXPECT_EQ(db.scalar("select count(*) from tblstates where StateAbbreviation = 'ny'").toInt(),
              1);
    EXPECT_EQ(db.scalar("select [Vetp/f] from tblsample").isNull(), true);
}

TEST_F(SchemaTest, SeededRows) {
    EXPECT_EQ(db.scalar("select PopType || '|' || showtips || '|' || OfficeName || '|' || "
                        "WibName || '|' || CaseMgr from tblsystem")
                  .toString(),
              "1|1| | | ");
    EXPECT_EQ(db.scalar("select count(*) from tblstates").toInt(), 59);
    for (const char* s : {"DC", "PR", "VI", "GU", "AS", "MP", "FM", "MH", "PW", "WY"})
        EXPECT_EQ(
            db.scalar("select count(*) from tblstates where StateAbbreviation = ?", {s}).toInt(), 1)
            << s;
    EXPECT_EQ(db.scalar("select count(*) from tblValSummaryNotes where ID = '1'").toInt(), 1);
    EXPECT_EQ(db.scalar("select count(*) from tblBlockedFields").toInt(), 0);
}

TEST_F(SchemaTest, SystemTableKeepsExactlyOneRow) {
    EXPECT_THROW(db.exec("insert into tblsystem (PopType) values ('2')"), DbError);
    EXPECT_THROW(db.exec("delete from tblsystem"), DbError);
    EXPECT_EQ(db.scalar("select count(*) from tblsystem").toInt(), 1);
    EXPECT_EQ(db.execute("update tblsystem set FiscalYear = ?", {"2008"}), 1);
}

TEST_F(SchemaTest, HistoryIsAppendOnly) {
    EXPECT_EQ(db.scalar("PRAGMA user_version").toInt(), 2);
    EXPECT_EQ(columnsOf(db, "tblHistory"),
              QStringList({"ChangedAt", "OsUser", "Host", "Source", "obs", "ssn", "Item",
                           "OldValue", "NewValue"}));
    EXPECT_EQ(columnsOf(db, "tblPackMerges"),
              QStringList({"PackId", "MergedAt", "Validator", "MadeAt", "Records", "Changed"}));
    db.exec("INSERT INTO tblHistory (ChangedAt, Source, obs, Item) "
            "VALUES ('2026-12-08T10:15:00Z', 'screen', 1, 'VetP/F')");
    for (const char* sql : {"UPDATE tblHistory SET NewValue = 'P'", "DELETE FROM tblHistory"}) {
        try {
            db.exec(sql);
            ADD_FAILURE() << sql;
        } catch (const DbError& e) {
            EXPECT_TRUE(e.message().contains("tblHistory is append-only")) << sql;
        }
    }
    EXPECT_EQ(db.scalar("SELECT count(*) FROM tblHistory WHERE NewValue IS NULL").toInt(), 1);
}

TEST_F(SchemaTest, DuplicateViewListsPairsFoundMoreThanOnce) {
    auto add = [&](const char* ssn, int exit) {
        db.execute("insert into tblORVmaster (SSN, WIAExitDate) values (?, ?)", {ssn, exit});
    };
    // No repeats: sum(dupcnt) is Null, which the import reads as no duplicates.
    add("111", 20061015);
    add("111", 20061016);
    add("222", 20061015);
    EXPECT_TRUE(db.scalar("select sum(dupcnt) from tblRptValDupps").isNull());

    add("111", 20061015); // two of one pair
    EXPECT_EQ(db.scalar("select sum(dupcnt) from tblRptValDupps").toInt(), 2);
    EXPECT_EQ(db.scalar("select count(*) from tblRptValDupps").toInt(), 1);

    add("111", 20061015); // three of one pair
    EXPECT_EQ(db.scalar("select sum(dupcnt) from tblRptValDupps").toInt(), 3);
    Statement st = db.prepare("select ssn, WIAExitDate, dupcnt from tblRptValDupps");
    ASSERT_TRUE(st.step());
    EXPECT_EQ(st.text(0), "111");
    EXPECT_EQ(st.int64(1), 20061015);
    EXPECT_EQ(st.int64(2), 3);
    EXPECT_FALSE(st.step());
}

TEST_F(SchemaTest, IndexesForLargeJoins) {
    Statement st = db.prepare("select name from sqlite_master where type = 'index'");
    QStringList names;
    while (st.step())
        names << st.text(0);
    for (const char* i : {"idx_master_randno", "idx_sample_key", "idx_sample_randno"})
        EXPECT_TRUE(names.contains(i)) << i;
    // The browse grids' orders and the counts per group; each master index costs the import a
    // pass over the table, so there are no others.
    const QStringList master{"idx_master_randno", "idx_master_obs", "idx_master_period"};
    for (const QString& i : master)
        EXPECT_TRUE(names.contains(i)) << i.toStdString();
    EXPECT_EQ(names.filter("idx_master_").size(), master.size());
}
