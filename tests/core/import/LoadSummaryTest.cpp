#include "import/LoadSummary.h"
#include "import/LoadPipeline.h"

#include <gtest/gtest.h>

#include <QDir>

#include <thread>

using namespace orv;

namespace {

struct Rec {
    Rec(std::optional<double> unit, std::optional<std::string> caseMgr = {},
        std::optional<std::string> ssn = {}, std::optional<double> exit = {}, int group = 1,
        int weight = 2, std::optional<int> rules = {})
        : unit(unit), caseMgr(std::move(caseMgr)), ssn(std::move(ssn)), exit(exit), group(group),
          weight(weight), rules(rules) {}
    std::optional<double> unit;
    std::optional<std::string> caseMgr;
    std::optional<std::string> ssn;
    std::optional<double> exit;
    int group;
    int weight;
    std::optional<int> rules;
};

void addAll(LoadSummary& summary, const std::vector<Rec>& recs) {
    qint64 rowid = 0;
    for (const Rec& r : recs) {
        LoadedRecord in;
        in.rowid = ++rowid;
        in.samplingUnit = r.unit;
        if (r.caseMgr)
            in.caseMgr = std::string_view(*r.caseMgr);
        if (r.ssn)
            in.ssn = std::string_view(*r.ssn);
        in.exitDate = r.exit;
        in.group = r.group;
        in.weight = r.weight;
        in.rules = r.rules;
        in.randno = static_cast<int>(1000 - rowid);
        summary.add(in);
    }
    summary.finishLoad();
}

std::vector<SampleRecord> recordsOf(const SamplePopulation& p) {
    std::vector<SampleRecord> out;
    p.forEachRecord([&](const SampleRecord& r) { out.push_back(r); });
    return out;
}

std::vector<std::pair<qint64, int>> reweightedOf(LoadSummary& summary) {
    std::vector<std::pair<qint64, int>> out;
    summary.forEachReweighted([&](qint64 rowid, int weight) { out.emplace_back(rowid, weight); });
    return out;
}

} // namespace

// Equal SSNs (letters in any case) with equal exit dates, Nulls included, are candidates; a
// differing date or SSN is not.
TEST(LoadSummaryTest, DuplicateCandidatesMatchAsTheColumnsCompare) {
    LoadSummary summary;
    addAll(summary, {{1, {}, "12a", 20061015},
                     {1, {}, "12A", 20061015},
                     {1, {}, "12a", 20061016},
                     {1, {}, "99", 20061015},
                     {1, {}, {}, {}},
                     {1, {}, {}, {}},
                     {1, {}, "77", {}},
                     {1, {}, "77", -0.0},
                     {1, {}, "77", 0.0}});
    EXPECT_EQ(summary.duplicateCandidates(), (std::vector<qint64>{1, 2, 5, 6, 8, 9}));
}

// One row a unit and case manager compared without regard to case, with the spelling first
// seen in that unit; Null first.
TEST(LoadSummaryTest, UnitRowsKeepTheFirstSpellingOfEachPair) {
    LoadSummary summary;
    addAll(summary, {{2, "mgr a"},
                     {{}, "Mgr A"},
                     {2, "MGR A"},
                     {{}, "mgr a"},
                     {2.5, {}},
                     {2, "Mgr B"},
                     {{}, {}}});
    const auto rows = summary.unitRows();
    ASSERT_TRUE(rows);
    std::vector<std::pair<QString, QString>> seen;
    for (const auto& [unit, caseMgr] : *rows)
        seen.emplace_back(unit.isNull() ? "null" : unit.toString(),
                          caseMgr.isNull() ? "null" : caseMgr.toString());
    const std::vector<std::pair<QString, QString>> expected = {
        {"null", "null"}, {"null", "Mgr A"}, {"2", "mgr a"}, {"2", "Mgr B"}, {"2.5", "null"}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ((*rows)[2].first.typeId(), QMetaType::LongLong);
    EXPECT_EQ((*rows)[4].first.typeId(), QMetaType::Double);
}

// Units in ascending order; no unit is drawn as 999999, with a real unit of that number.
TEST(LoadSummaryTest, PopulationUnitsAreOrderedAndNoUnitIs999999) {
    LoadSummary summary;
    addAll(summary,
           {{7, {}, {}, {}, 3}, {{}, {}, {}, {}, 0}, {999999}, {-1}, {7, {}, {}, {}, 1, 2, 3}});
    EXPECT_EQ(summary.grouped(), 4);
    EXPECT_EQ(summary.ungrouped(), 1);
    EXPECT_EQ(reweightedOf(summary), (std::vector<std::pair<qint64, int>>{{5, 3}}));
    summary.ungroup(1);
    summary.ungroup(1);
    EXPECT_EQ(summary.grouped(), 3);

    const SamplePopulation population = summary.takePopulation();
    const SamplePopulation& p = population;
    const std::vector<SampleRecord> records = recordsOf(p);
    ASSERT_EQ(p.units.size(), 3u);
    EXPECT_EQ(p.units[0].toLongLong(), -1);
    EXPECT_EQ(p.units[1].toLongLong(), 7);
    EXPECT_EQ(p.units[2].toLongLong(), 999999);
    ASSERT_EQ(records.size(), 5u);
    const std::vector<int> units = {1, 2, 2, 0, 1};
    for (size_t i = 0; i < units.size(); ++i) {
        EXPECT_EQ(records[i].unit, units[i]) << i;
        EXPECT_EQ(records[i].rowid, static_cast<qint64>(i + 1));
    }
    EXPECT_FALSE(records[0].grouped);
    EXPECT_FALSE(records[1].grouped);
    EXPECT_EQ(records[4].weight, 3); // the rules' weight
    EXPECT_EQ(records[0].randno, 999);
}

TEST(LoadSummaryTest, TooManyCaseManagersLeaveTheUnitRowsToTheMaster) {
    LoadSummary summary;
    for (int i = 1; i <= 300001; ++i) {
        const std::string caseMgr = "M" + std::to_string(i);
        LoadedRecord in;
        in.rowid = i;
        in.samplingUnit = 1;
        in.caseMgr = caseMgr;
        in.group = 1;
        summary.add(in);
    }
    EXPECT_FALSE(summary.unitRows());
    EXPECT_EQ(summary.grouped(), 300001);
}

// Whatever share of the records stays in memory, the summary learns the same; what went to
// scratch files is gone with the summary.
TEST(LoadSummaryTest, SpilledRunsLearnWhatMemoryDoes) {
    std::vector<Rec> recs;
    for (int i = 0; i < 5000; ++i) {
        const int k = i * 7919 % 5000;
        recs.push_back({k % 11 == 0 ? std::nullopt : std::optional<double>(k % 37),
                        "Mgr " + std::to_string(k % 5), std::to_string(k % 1700 + (k % 3 == 0)),
                        k % 13 == 0 ? std::nullopt : std::optional<double>(20060000 + k % 4),
                        k % 9 == 0 ? 0 : 1, 2,
                        k % 6 == 0 ? std::optional<int>(k % 4) : std::nullopt});
    }
    struct Learnt {
        std::vector<qint64> candidates;
        std::vector<std::pair<qint64, int>> reweighted;
        qint64 grouped = 0;
        std::vector<std::tuple<qint64, int, int, int, bool>> records;
        std::vector<QVariant> units;
    };
    const auto learn = [&](qint64 memoryRecords, qint64& runs) {
        LoadSummary summary(memoryRecords);
        addAll(summary, recs);
        runs = summary.spilledRuns();
        Learnt l;
        l.candidates = summary.duplicateCandidates();
        for (size_t i = 0; i < l.candidates.size(); i += 3)
            summary.ungroup(l.candidates[i]);
        l.reweighted = reweightedOf(summary);
        l.grouped = summary.grouped();
        const SamplePopulation p = summary.takePopulation();
        for (const SampleRecord& r : recordsOf(p))
            l.records.emplace_back(r.rowid, r.weight, r.randno, r.unit, r.grouped);
        l.units = p.units;
        return l;
    };
    qint64 runs = 0;
    const Learnt inMemory = learn(LoadSummary::kMemoryRecords, runs);
    EXPECT_EQ(runs, 0);
    ASSERT_GT(inMemory.candidates.size(), 100u);
    ASSERT_FALSE(inMemory.reweighted.empty());
    for (const qint64 memoryRecords : {1, 7, 600, 4999}) {
        SCOPED_TRACE(memoryRecords);
        const QStringList before = QDir(QDir::tempPath()).entryList({"orv-import-*"}, QDir::Files);
        const Learnt spilled = learn(memoryRecords, runs);
        EXPECT_GT(runs, 1);
        EXPECT_EQ(spilled.candidates, inMemory.candidates);
        EXPECT_EQ(spilled.reweighted, inMemory.reweighted);
        EXPECT_EQ(spilled.grouped, inMemory.grouped);
        EXPECT_EQ(spilled.records, inMemory.records);
        EXPECT_EQ(spilled.units, inMemory.units);
        EXPECT_EQ(QDir(QDir::tempPath()).entryList({"orv-import-*"}, QDir::Files), before);
    }
}

// The reading side, blocked on a full queue, is let go when the inserting side stops.
TEST(LoadQueueTest, StopReleasesABlockedPush) {
    LoadQueue queue;
    bool refused = false;
    std::thread producer([&] {
        for (;;) {
            if (!queue.push(std::make_unique<LoadBatch>())) {
                refused = true;
                break;
            }
        }
        queue.finish();
    });
    bool timedOut = false;
    EXPECT_TRUE(queue.pop(1000, timedOut));
    queue.stop();
    producer.join();
    EXPECT_TRUE(refused);
    EXPECT_FALSE(queue.pop(10, timedOut)); // stopping dropped what was waiting
    EXPECT_FALSE(timedOut);
}

TEST(LoadQueueTest, PopWaitsThenSaysWhetherMoreMayCome) {
    LoadQueue queue;
    bool timedOut = false;
    EXPECT_FALSE(queue.pop(5, timedOut));
    EXPECT_TRUE(timedOut);
    ASSERT_TRUE(queue.push(std::make_unique<LoadBatch>()));
    queue.finish();
    EXPECT_TRUE(queue.pop(5, timedOut));
    EXPECT_FALSE(queue.pop(5, timedOut));
    EXPECT_FALSE(timedOut);
}
