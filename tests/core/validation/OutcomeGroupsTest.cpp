#include "ValidationFixture.h"

#include "validation/OutcomeGroups.h"

using namespace orv;
using namespace orv::test;

namespace {

struct Quarter {
    QVariant flag, type, wages;
};

// Employed on wage records, on supplemental data, employed with other evidence, not employed.
Quarter W(double wages = 100) {
    return {1, 2, wages};
}
Quarter S(QVariant wages = QVariant()) {
    return {1, 5, wages};
}
const Quarter Yother{1, 5, 250}; // type 5 with wages: employed, but neither W nor S
const Quarter Yplain{1, QVariant(), QVariant()};
const Quarter N{2, 0, QVariant()};
const Quarter Blank{QVariant(), QVariant(), QVariant()};

struct Case {
    const char* name;
    QVariant status;
    Quarter q1, q2, q3;
    QVariant otherReason;
    int group; // 0: none
};

const Case kCases[] = {
    {"g1 not employed, wages all quarters", 2, W(100), W(200), W(300), QVariant(), 1},
    {"g1 other reason 98 is no reason", 2, W(), W(), W(), 98, 1},
    {"g1 other reason 0 is no reason", 3, W(), W(), W(), 0, 1},
    {"g1 wages just below the cap", 2, W(999999.98), W(), W(), QVariant(), 1},
    {"g2", 3, W(), W(), S(), QVariant(), 2},
    {"g3", 2, W(), S(0), W(), QVariant(), 3},
    {"g4", 3, W(), S(), S(0), QVariant(), 4},
    {"g5", 2, S(), W(), W(), QVariant(), 5},
    {"g6", 2, S(0), W(), S(), QVariant(), 6},
    {"g7", 3, S(), S(), W(), QVariant(), 7},
    {"g8", 2, S(), S(), S(), QVariant(), 8},
    {"g9 wage quarter counts as employed", 2, W(), Yother, N, QVariant(), 9},
    {"g10", 3, Yplain, N, Yother, QVariant(), 10},
    {"g11", 2, S(), N, N, QVariant(), 11},
    {"g12 later quarters not looked at", 3, N, W(), Blank, QVariant(), 12},
    {"g13", 1, W(), W(), W(), QVariant(), 13},
    {"g14", 1, W(), W(), S(), 98, 14},
    {"g15", 1, W(), S(), W(), QVariant(), 15},
    {"g16", 1, W(), S(), S(), QVariant(), 16},
    {"g17", 1, S(), W(), W(), QVariant(), 17},
    {"g18", 1, S(), W(), S(), QVariant(), 18},
    {"g19 supplemental Null then 0", 1, S(), S(0), Quarter{1, 2, 10}, QVariant(), 19},
    {"g20", 1, S(), S(), S(), 0, 20},
    {"g21", 1, Yother, Yplain, N, QVariant(), 21},
    {"g22", 1, W(), N, W(), QVariant(), 22},
    {"g23", 1, Yplain, N, N, QVariant(), 23},
    {"g24", 1, N, Blank, Blank, QVariant(), 24},
    {"g25 whatever the employment", 2, W(), W(), W(), 5, 25},
    {"g25 without a status", QVariant(), Blank, Blank, Blank, 1, 25},
    {"wages at the cap fail W", 2, W(999999.99), W(), W(), QVariant(), 0},
    {"wage record with no wages", 2, W(), Quarter{1, 1, 0}, W(), QVariant(), 0},
    {"wage record with Null wages", 1, W(), W(), Quarter{1, 4, QVariant()}, QVariant(), 0},
    {"supplemental with wages in all quarters", 1, Yother, Yother, Yother, QVariant(), 0},
    {"type 6 is no evidence", 2, W(), W(), Quarter{1, 6, 100}, QVariant(), 0},
    {"type 6 without wages is not supplemental", 2, W(), W(), Quarter{1, 6, 0}, QVariant(), 0},
    {"employed throughout, one quarter unproven", 3, W(), Yplain, W(), QVariant(), 0},
    {"no status", QVariant(), W(), W(), W(), 0, 0},
    {"status 4", 4, N, N, N, QVariant(), 0},
    {"first quarter blank", 2, Blank, N, N, QVariant(), 0},
    {"second quarter blank", 1, W(), Blank, N, QVariant(), 0},
    {"third quarter flag 3", 1, W(), N, Quarter{3, 0, 0}, QVariant(), 0},
};

class OutcomeGroupsTest : public ValidationTest {
protected:
    void insertCase(int obs, const Case& c) {
        insertMaster(db(), {{"obs", obs},
                            {"EmploymentStatus", c.status},
                            {"EmpQTR+1", c.q1.flag},
                            {"TypeEmpQTR+1AfterExit", c.q1.type},
                            {"Earn1QTRAfterExit", c.q1.wages},
                            {"EmpQTR+2AfterExit", c.q2.flag},
                            {"TypeEmpQTR+2AfterExit", c.q2.type},
                            {"Earn2QTRAfterExit", c.q2.wages},
                            {"EmpQTR+3", c.q3.flag},
                            {"TypeEmpQTR+3AfterExit", c.q3.type},
                            {"Earn3QTRAfterExit", c.q3.wages},
                            {"OtherReasonForExit", c.otherReason},
                            {"subpop", 0},
                            {"spopnum", 0},
                            {"pop", 0}});
    }
    void insertAll() {
        int obs = 0;
        for (const Case& c : kCases)
            insertCase(++obs, c);
    }
};

} // namespace

TEST_F(OutcomeGroupsTest, EveryRecordLandsInItsGroup) {
    insertAll();
    AssignOutcomeGroups(*session);
    EXPECT_TRUE(ui.shown.isEmpty());

    Statement st = db().prepare("SELECT obs, spopnum, subpop, pop FROM tblORVmaster ORDER BY obs");
    for (const Case& c : kCases) {
        ASSERT_TRUE(st.step());
        SCOPED_TRACE(c.name);
        EXPECT_EQ(st.int64(1), c.group);
        if (c.group != 0) {
            EXPECT_EQ(st.text(2), QStringLiteral("1.%1").arg(c.group));
            EXPECT_EQ(st.text(3), "1");
        } else {
            // Left as the import wrote it.
            EXPECT_EQ(st.text(2), "0");
            EXPECT_EQ(st.text(3), "0");
        }
    }
}

TEST_F(OutcomeGroupsTest, OtherPopulationTypeAssignsNothing) {
    insertAll();
    Settings settings = session->settings();
    settings.popType = QStringLiteral("2");
    session->useSettings(settings);
    AssignOutcomeGroups(*session);
    EXPECT_EQ(count("SELECT count(*) FROM tblORVmaster WHERE spopnum <> 0"), 0);
}

TEST_F(OutcomeGroupsTest, RefusedStatementThrowsAndAssignsNothing) {
    insertAll();
    db().exec("CREATE TEMP TRIGGER refuse BEFORE UPDATE ON main.tblORVmaster "
              "BEGIN SELECT RAISE(ABORT, 'update refused'); END");
    EXPECT_THROW(AssignOutcomeGroups(*session), DbError);
    EXPECT_TRUE(ui.shown.isEmpty()) << "the caller tells the user";
    EXPECT_EQ(count("SELECT count(*) FROM tblORVmaster WHERE spopnum <> 0"), 0);

    db().exec("DROP TRIGGER temp.refuse");
    AssignOutcomeGroups(*session);
    EXPECT_GT(count("SELECT count(*) FROM tblORVmaster WHERE spopnum <> 0"), 0);
}
