// The import places and weighs records as it loads them; the statements after the load must
// agree.
#include "../validation/ValidationFixture.h"

#include "import/PostImport.h"
#include "import/RecordRules.h"
#include "validation/OutcomeGroups.h"

#include <random>

using namespace orv;

namespace {

class NullView : public ImportView {
public:
    void setLabel(int, const QString&) override {}
};

using Opt = std::optional<double>;

QVariant sqlValue(const Opt& v) {
    return v ? QVariant(*v) : QVariant();
}

struct Row {
    GroupInputs in;
};

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

    std::vector<Row> rows;
    for (int i = 0; i < 4000; ++i) {
        Row r;
        r.in.employmentStatus = pick(statuses);
        // Most records pass the exit test and show a clean quarter pattern, so that every group
        // gets exercised; the rest probe the boundaries.
        r.in.otherReasonForExit = (i % 4 == 0) ? pick(others) : Opt(0);
        for (int q = 0; q < 3; ++q) {
            switch (i % 3 == 0 ? 3 : gen() % 3) {
            case 0: // wage records
                r.in.employed[q] = 1;
                r.in.type[q] = 1 + gen() % 4;
                r.in.wages[q] = 100 + gen() % 900;
                break;
            case 1: // supplemental
                r.in.employed[q] = 1;
                r.in.type[q] = 5;
                r.in.wages[q] = (gen() % 2) ? Opt(0) : Opt();
                break;
            case 2: // not employed
                r.in.employed[q] = 2;
                r.in.type[q] = Opt();
                r.in.wages[q] = Opt();
                break;
            default:
                r.in.employed[q] = pick(flags);
                r.in.type[q] = pick(types);
                r.in.wages[q] = pick(wages);
            }
        }
        rows.push_back(r);
    }
    {
        Transaction tx(db());
        int obs = 0;
        for (const Row& r : rows) {
            ++obs;
            test::insertMaster(db(), {{"obs", obs},
                                      {"SSN", QString::number(obs)},
                                      {"WIAExitDate", 20061015},
                                      {"SamplingUnit", 1},
                                      {"EmploymentStatus", sqlValue(r.in.employmentStatus)},
                                      {"OtherReasonForExit", sqlValue(r.in.otherReasonForExit)},
                                      {"EmpQTR+1", sqlValue(r.in.employed[0])},
                                      {"EmpQTR+2AfterExit", sqlValue(r.in.employed[1])},
                                      {"EmpQTR+3", sqlValue(r.in.employed[2])},
                                      {"TypeEmpQTR+1AfterExit", sqlValue(r.in.type[0])},
                                      {"TypeEmpQTR+2AfterExit", sqlValue(r.in.type[1])},
                                      {"TypeEmpQTR+3AfterExit", sqlValue(r.in.type[2])},
                                      {"Earn1QTRAfterExit", sqlValue(r.in.wages[0])},
                                      {"Earn2QTRAfterExit", sqlValue(r.in.wages[1])},
                                      {"Earn3QTRAfterExit", sqlValue(r.in.wages[2])},
                                      {"subpop", "0"},
                                      {"spopnum", 0},
                                      {"pop", "0"},
                                      {"randno", obs}});
        }
        tx.commit();
    }
    NullView view;
    ImportLog log;
    runPostImport(*session, view, log, 1);

    Statement st = db().prepare("SELECT obs, spopnum, Weight FROM tblORVmaster ORDER BY obs");
    std::set<int> groupsSeen;
    while (st.step()) {
        const Row& r = rows[static_cast<size_t>(st.int64(0) - 1)];
        const int group = outcomeGroupOf(r.in);
        groupsSeen.insert(group);
        ASSERT_EQ(st.int64(1), group) << "obs " << st.int64(0);
        // The rules' weight, as the import sets it while loading; none leaves it Null here.
        const auto weight =
            ruleWeight(r.in.employed[0], r.in.wages[0], r.in.employed[2], r.in.wages[2]);
        ASSERT_EQ(st.isNull(2), !weight) << "obs " << st.int64(0);
        if (weight) {
            ASSERT_EQ(st.int64(2), *weight) << "obs " << st.int64(0);
        }
    }
    EXPECT_EQ(groupsSeen.size(), 26u); // every group and none
}
