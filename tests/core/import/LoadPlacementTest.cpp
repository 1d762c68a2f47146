// The import places and weighs records as it loads them; the statements after the load must
// agree.
#include "../validation/ValidationFixture.h"

#include "import/PostImport.h"
#include "rules/RecordRules.h"
#include "validation/OutcomeGroups.h"

#include <array>
#include <random>
#include <set>

using namespace orv;

namespace {

using Opt = std::optional<double>;

QVariant sqlValue(const Opt& v) {
    return v ? QVariant(*v) : QVariant();
}

// A quarter after exit as the three columns of each group input hold it.
const char* const kEmployed[] = {"EmpQTR+1", "EmpQTR+2AfterExit", "EmpQTR+3"};
const char* const kType[] = {"TypeEmpQTR+1AfterExit", "TypeEmpQTR+2AfterExit",
                             "TypeEmpQTR+3AfterExit"};
const char* const kWages[] = {"Earn1QTRAfterExit", "Earn2QTRAfterExit", "Earn3QTRAfterExit"};

} // namespace

class LoadPlacementTest : public test::ValidationTest {};

TEST_F(LoadPlacementTest, GroupsMatchTheStatements) {
    // Values around every boundary the rules test, Null included.
    const std::vector<Opt> statuses = {{}, 0, 1, 2, 3, 4};
    const std::vector<Opt> others = {{}, 0, 1, 5, 98, 99};
    const std::vector<Opt> flags = {{}, 0, 1, 2, 3};
    const std::vector<Opt> types = {{}, 0, 1, 4, 5, 6};
    const std::vector<Opt> wages = {{}, -1, 0, 0.01, 500, 999999.98, 999999.99, 1e6};
    std::mt19937 gen(20061015);
    auto pick = [&](const std::vector<Opt>& from) { return from[gen() % from.size()]; };
    // Wage records, supplemental, not employed: clean patterns, so that every group is reached.
    auto clean = [&](int kind) -> std::array<Opt, 3> {
        if (kind == 0)
            return {1, Opt(1 + gen() % 4), Opt(100 + gen() % 900)};
        if (kind == 1)
            return {1, 5, (gen() % 2) ? Opt(0) : Opt()};
        return {2, {}, {}};
    };

    std::vector<GroupInputs> rows;
    {
        Transaction tx(db());
        for (int obs = 1; obs <= 4000; ++obs) {
            const int i = obs - 1;
            GroupInputs in;
            in.employmentStatus = pick(statuses);
            // Most records pass the exit test; the rest, and a third of the quarters, probe the
            // boundaries.
            in.otherReasonForExit = (i % 4 == 0) ? pick(others) : Opt(0);
            test::Columns row = {{"obs", obs},
                                 {"SSN", QString::number(obs)},
                                 {"WIAExitDate", 20061015},
                                 {"SamplingUnit", 1},
                                 {"EmploymentStatus", sqlValue(in.employmentStatus)},
                                 {"OtherReasonForExit", sqlValue(in.otherReasonForExit)},
                                 {"subpop", "0"},
                                 {"spopnum", 0},
                                 {"pop", "0"},
                                 {"randno", obs}};
            for (int q = 0; q < 3; ++q) {
                const auto quarter = i % 3 == 0
                                         ? std::array<Opt, 3>{pick(flags), pick(types), pick(wages)}
                                         : clean(int(gen() % 3));
                in.employed[q] = quarter[0];
                in.type[q] = quarter[1];
                in.wages[q] = quarter[2];
                row.push_back({kEmployed[q], sqlValue(quarter[0])});
                row.push_back({kType[q], sqlValue(quarter[1])});
                row.push_back({kWages[q], sqlValue(quarter[2])});
            }
            test::insertMaster(db(), row);
            rows.push_back(in);
        }
        tx.commit();
    }
    test::RecordingView view;
    ImportLog log;
    runPostImport(*session, view, log, 1);

    Statement st = db().prepare("SELECT obs, spopnum, Weight FROM tblORVmaster ORDER BY obs");
    std::set<int> groupsSeen;
    while (st.step()) {
        const GroupInputs& in = rows[static_cast<size_t>(st.int64(0) - 1)];
        const int group = outcomeGroupOf(in);
        groupsSeen.insert(group);
        ASSERT_EQ(st.int64(1), group) << "obs " << st.int64(0);
        // The rules' weight, as the import sets it while loading; none leaves it Null here.
        const auto weight = ruleWeight(in.employed[0], in.wages[0], in.employed[2], in.wages[2]);
        ASSERT_EQ(st.isNull(2), !weight) << "obs " << st.int64(0);
        if (weight) {
            ASSERT_EQ(st.int64(2), *weight) << "obs " << st.int64(0);
        }
    }
    EXPECT_EQ(groupsSeen.size(), 26u); // every group and none
}
