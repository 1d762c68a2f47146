#include "ValidationFixture.h"

#include "validation/Sample.h"

#include <QSet>

using namespace orv;
using namespace orv::test;

namespace {

TEST(SampleSize, UnitsToDraw) {
    const std::pair<qint64, qint64> cases[] = {
        {0, 0},   {1, 1},    {6, 6},    {7, 7},    {29, 7},   {30, 10},  {74, 10},  {75, 15},
        {99, 15}, {100, 20}, {199, 20}, {200, 25}, {249, 25}, {250, 30}, {251, 30}, {40000, 30}};
    for (const auto& [units, drawn] : cases)
        EXPECT_EQ(GetUnitSampleSize(units), drawn) << units;
}

TEST(SampleSize, RecordsToDraw) {
    const std::pair<qint64, qint64> cases[] = {
        {0, 0},     {1, 1},     {40, 40},   {60, 50},     {66, 51},     {100, 69},
        {299, 129}, {300, 149}, {310, 150}, {32767, 150}, {32768, 150}, {1000000, 150}};
    for (const auto& [grouped, drawn] : cases)
        EXPECT_EQ(sampleSizeFor(grouped), drawn) << grouped;
}

struct SampleRow {
    qint64 seqno;
    QString type;
    qint64 randno;
    QVariant unit;
    QVariant weight;
    bool operator==(const SampleRow&) const = default;
};

class SampleTest : public ValidationTest {
protected:
    int nextRandno = 1000;

    // A record of `unit` (Null: none) with record weight `weight`, grouped unless group is 0.
    void addRecord(QVariant unit, QVariant weight, int group = 1, int randno = 0) {
        const int r = randno ? randno : nextRandno++;
        insertMaster(db(), {{"obs", r},
                            {"SSN", QStringLiteral("S%1").arg(r)},
                            {"SamplingUnit", unit},
                            {"Weight", weight},
                            {"spopnum", group},
                            {"subpop", group ? QStringLiteral("1.%1").arg(group) : QString("")},
                            {"randno", r},
                            {"OfficeName", QStringLiteral("Office %1").arg(unit.toString())},
                            {"EmpQTR+1", 1},
                            {"Earn1QTRAfterExit", 100.5 + r}});
    }
    void addRecords(int unit, int n, int weight = 1) {
        for (int i = 0; i < n; ++i)
            addRecord(unit, weight);
    }

    QVector<SampleRow> sample() {
        QVector<SampleRow> out;
        Statement st = db().prepare("SELECT seqno, sampletype, randno, SamplingUnit, Weight "
                                    "FROM tblsample ORDER BY sampletype, seqno");
        while (st.step())
            out.push_back({st.int64(0), st.text(1), st.int64(2), st.value(3), st.value(4)});
        return out;
    }

    // Invariants every sample keeps.
    void checkSample() {
        EXPECT_EQ(count("SELECT count(*) - count(DISTINCT randno) FROM tblsample"), 0);
        EXPECT_EQ(count("SELECT count(*) FROM tblsample WHERE chk IS NOT NULL"), 0);
        // Copied from the record it stands for.
        EXPECT_EQ(count("SELECT count(*) FROM tblsample AS a JOIN tblORVmaster AS b "
                        "ON a.randno = b.randno WHERE a.obs = b.obs AND a.ssn = b.SSN AND "
                        "a.OfficeName = b.OfficeName AND a.\"EmpQtr+1\" = b.\"EmpQTR+1\" AND "
                        "a.Earn1QTRAfterExit = b.Earn1QTRAfterExit"),
                  count("SELECT count(*) FROM tblsample"));
        for (const char* type : {"C1", "C2"}) {
            const qint64 n = count("SELECT count(*) FROM tblsample WHERE sampletype = ?", {type});
            EXPECT_EQ(
                count("SELECT count(DISTINCT seqno) FROM tblsample WHERE sampletype = ?", {type}),
                n);
            if (n > 0) {
                EXPECT_EQ(count("SELECT max(seqno) FROM tblsample WHERE sampletype = ?", {type}),
                          n);
            }
        }
    }
};

// Units of weight 50, 30 and 20 with three units to draw: 50 is taken with certainty (above
// 100/3), then 30 (above 50/2), then 20 (the rest): every grouped record is taken.
TEST_F(SampleTest, HeavyUnitsAreTakenWithCertainty) {
    addRecords(11, 25, 2);
    addRecords(12, 15, 2);
    addRecords(13, 10, 2);
    addRecord(13, 2, 0); // without a group: not in the certainty pool

    BuildSample(*session, 7);
    EXPECT_TRUE(ui.shown.isEmpty());
    checkSample();
    EXPECT_EQ(count("SELECT count(*) FROM tblsample"), 50);
    EXPECT_EQ(count("SELECT count(*) FROM tblsample WHERE sampletype = 'C1' AND "
                    "randno IN (SELECT randno FROM tblORVmaster WHERE spopnum <> 0)"),
              50);
    // 1 / ((2 * 50) / 100)
    EXPECT_EQ(count("SELECT count(*) FROM tblsample WHERE Weight = 1.0"), 50);
    EXPECT_EQ(count("SELECT count(*) FROM tbltemp"), 0);

    // unit:weight:records
    EXPECT_EQ(value("SELECT group_concat(SamplingUnit || ':' || weight || ':' || totrec, ' ') "
                    "FROM (SELECT * FROM tblsupport WHERE sType = 'U' ORDER BY SamplingUnit)")
                  .toString(),
              "11:50.0:25 12:30.0:15 13:22.0:11");
    EXPECT_EQ(count("SELECT count(*) FROM tblsupport WHERE sType = 'V'"), 0);
}

// Two heavy units (20 records of weight 1 each) and ten light ones (2 grouped records of weight
// 1, plus ungrouped records of weight Null, 0 and 3). W = 60, 7 units to draw: the heavy ones
// are certain (T = 9), then T = 20 / 5 takes none. 5 of the 10 light units are drawn. 60
// grouped records give a sample of 50: 33 from the certainty pool (40 / 60 * 50), and a quota
// of 17 / 5 + 1 = 4 records from each drawn unit.
class TwoStageTest : public SampleTest {
protected:
    void SetUp() override {
        SampleTest::SetUp();
        addRecords(1, 20);
        addRecords(2, 20);
        for (int unit = 101; unit <= 110; ++unit) {
            addRecords(unit, 2);
            addRecord(unit, 3, 0);
            addRecord(unit, 0, 0);
            addRecord(unit, QVariant(), 0);
        }
    }
};

TEST_F(TwoStageTest, DrawsCertaintyPoolAndUnitsToTheirQuotas) {
    BuildSample(*session, 12345);
    EXPECT_TRUE(ui.shown.isEmpty());
    checkSample();

    EXPECT_EQ(count("SELECT count(*) FROM tblsample WHERE sampletype = 'C1'"), 33);
    EXPECT_EQ(count("SELECT count(*) FROM tblsample WHERE sampletype = 'C1' AND "
                    "SamplingUnit IN (1, 2)"),
              33);
    // Systematic over one pool: neither unit is left out.
    EXPECT_GE(count("SELECT min(n) FROM (SELECT count(*) AS n FROM tblsample "
                    "WHERE sampletype = 'C1' GROUP BY SamplingUnit)"),
              16);
    EXPECT_EQ(count("SELECT count(*) FROM tblsample WHERE sampletype = 'C1' AND Weight = 1.82"),
              33); // 1 / ((1 * 33) / 60)

    EXPECT_EQ(count("SELECT count(*) FROM tblsupport WHERE sType = 'U'"), 2);
    EXPECT_EQ(count("SELECT count(*) FROM tbltemp"), 10);
    EXPECT_EQ(count("SELECT count(*) FROM tblsupport WHERE sType = 'V'"), 5);
    // Unit rows count every record of the unit, grouped or not.
    EXPECT_EQ(count("SELECT count(*) FROM tblsupport WHERE sType = 'V' AND weight = 5 AND "
                    "totrec = 5 AND SamplingUnit BETWEEN 101 AND 110"),
              5);

    // Each drawn unit gives its quota, taken by weight then randno: the Null and 0 weights
    // first, then the two grouped records; the ungrouped record of weight 3 is left.
    EXPECT_EQ(count("SELECT count(*) FROM tblsample WHERE sampletype = 'C2'"), 20);
    EXPECT_EQ(count("SELECT count(*) FROM (SELECT SamplingUnit FROM tblsample "
                    "WHERE sampletype = 'C2' GROUP BY SamplingUnit HAVING count(*) = 4)"),
              5);
    EXPECT_EQ(count("SELECT count(*) FROM tblsample AS a JOIN tblORVmaster AS b "
                    "ON a.randno = b.randno WHERE a.sampletype = 'C2' AND b.Weight = 3"),
              0);
    // ((5 * 5) / 60) * ((4 * 1) / 5) = 1/3 for a record of weight 1; a record without weight
    // gets none.
    EXPECT_EQ(count("SELECT count(*) FROM tblsample AS a JOIN tblORVmaster AS b "
                    "ON a.randno = b.randno WHERE a.sampletype = 'C2' AND b.Weight = 1 AND "
                    "a.Weight = 3.0"),
              10);
    EXPECT_EQ(count("SELECT count(*) FROM tblsample AS a JOIN tblORVmaster AS b "
                    "ON a.randno = b.randno WHERE a.sampletype = 'C2' AND "
                    "(b.Weight IS NULL OR b.Weight = 0) AND a.Weight = 0"),
              10);
}

TEST_F(TwoStageTest, SameSeedSameSample) {
    BuildSample(*session, 99);
    const QVector<SampleRow> first = sample();
    BuildSample(*session, 99);
    EXPECT_EQ(sample(), first);

    // Another seed draws other units or records.
    bool differs = false;
    for (quint32 seed = 1; seed <= 5 && !differs; ++seed) {
        BuildSample(*session, seed);
        differs = sample() != first;
    }
    EXPECT_TRUE(differs);
}

TEST_F(TwoStageTest, EveryDrawIsLogged) {
    BuildSample(*session, 4242);
    BuildSample(*session, 77);
    Statement st = db().prepare(
        "SELECT DrawnAt, Seed, Population, Units, SampleSize FROM tblSampleLog ORDER BY rowid");
    for (qint64 seed : {4242, 77}) {
        ASSERT_TRUE(st.step());
        EXPECT_FALSE(st.text(0).isEmpty());
        EXPECT_EQ(st.int64(1), seed);
        EXPECT_EQ(st.int64(2), 60);
        EXPECT_EQ(st.int64(3), 12);
        EXPECT_EQ(st.int64(4), 53);
    }
    EXPECT_FALSE(st.step());
}

TEST_F(TwoStageTest, ANewDrawReplacesTheOldOneButNotTheUnitRows) {
    insertRow(db(), "tblsupport", {{"sType", "S"}, {"SamplingUnit", 1}, {"CaseMgr", "Smith"}});
    BuildSample(*session, 1);
    db().exec("UPDATE tblsample SET \"VetP/F\" = 1, chk = 'Yes'");
    BuildSample(*session, 2);
    EXPECT_EQ(count("SELECT count(*) FROM tblsample WHERE chk IS NOT NULL OR \"VetP/F\" = 1"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM tblsupport WHERE sType = 'U'"), 2);
    EXPECT_EQ(count("SELECT count(*) FROM tblsupport WHERE sType = 'V'"), 5);
    EXPECT_EQ(count("SELECT count(*) FROM tblsupport WHERE sType = 'S'"), 1);
    EXPECT_EQ(count("SELECT count(*) FROM tbltemp"), 10);
}

// Any refused statement ends the whole draw, and the sample drawn before it stays as it was.
TEST_F(TwoStageTest, AFailedDrawThrowsAndLeavesTheSampleAsItWas) {
    const struct {
        const char* name;
        const char* trigger;
        const char* message;
    } cases[] = {
        {"a stratum's copy", "BEFORE INSERT ON main.tblsample WHEN new.sampletype = 'C2'",
         "insert refused"},
        {"a unit row", "BEFORE INSERT ON main.tblsupport WHEN new.sType = 'V'", "unit row refused"},
    };
    BuildSample(*session, 5);
    const qint64 sample = count("SELECT count(*) FROM tblsample");
    const qint64 support = count("SELECT count(*) FROM tblsupport");
    ASSERT_GT(sample, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        db().exec(std::string("CREATE TEMP TRIGGER refuse ") + c.trigger +
                  " BEGIN SELECT RAISE(ABORT, '" + c.message + "'); END");
        try {
            BuildSample(*session, 6);
            ADD_FAILURE() << "the draw went on";
        } catch (const DbError& e) {
            EXPECT_EQ(e.message(), c.message);
        }
        db().exec("DROP TRIGGER temp.refuse");
        EXPECT_TRUE(ui.shown.isEmpty()) << "the caller tells the user";
        EXPECT_EQ(count("SELECT count(*) FROM tblsample"), sample);
        EXPECT_EQ(count("SELECT count(*) FROM tblsupport"), support);
        EXPECT_EQ(count("SELECT count(*) FROM tblSampleLog"), 1);
    }
}

TEST_F(SampleTest, NothingToDrawFromGivesAnEmptySample) {
    addRecords(1, 3);
    BuildSample(*session, 1);
    ASSERT_GT(count("SELECT count(*) FROM tblsample"), 0);

    db().exec("UPDATE tblORVmaster SET spopnum = 0");
    BuildSample(*session, 1);
    EXPECT_TRUE(ui.shown.isEmpty());
    EXPECT_EQ(count("SELECT count(*) FROM tblsample"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM tblsupport"), 0);
    EXPECT_EQ(count("SELECT Population FROM tblSampleLog ORDER BY rowid DESC LIMIT 1"), 0);
}

// Twelve units of 40 records: none heavy enough, seven drawn; the certainty pool is empty.
TEST_F(SampleTest, WithoutCertaintyUnitsOnlyUnitsAreDrawn) {
    for (int unit = 1; unit <= 12; ++unit)
        addRecords(unit, 40);
    BuildSample(*session, 3);
    checkSample();
    EXPECT_EQ(count("SELECT count(*) FROM tblsample WHERE sampletype = 'C1'"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM tblsupport WHERE sType = 'V'"), 7);
    // 480 grouped records: 150 to draw, 150 / 7 + 1 = 22 from each unit.
    EXPECT_EQ(count("SELECT count(*) FROM tblsample WHERE sampletype = 'C2'"), 7 * 22);
    EXPECT_EQ(count("SELECT count(*) FROM (SELECT SamplingUnit FROM tblsample "
                    "GROUP BY SamplingUnit HAVING count(*) = 22)"),
              7);
    // ((40 * 7) / 480) * ((22 * 1) / 40): 3.12 each
    EXPECT_EQ(count("SELECT count(*) FROM tblsample WHERE Weight = 3.12"), 7 * 22);
}

TEST_F(SampleTest, GetSampleSizeCountsGroupedRecords) {
    for (int i = 0; i < 66; ++i)
        addRecord(QVariant(), 1);
    addRecord(1, 1, 0);
    EXPECT_EQ(GetSampleSize(*session), 51);
}

} // namespace
