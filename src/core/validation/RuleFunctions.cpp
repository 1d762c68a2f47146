#include "validation/RuleFunctions.h"

#include "db/Database.h"
#include "rules/RecordRules.h"
#include "validation/OutcomeGroups.h"

namespace orv {

namespace {

void outcomeGroup(FunctionCall& call) {
    GroupInputs in;
    in.employmentStatus = call.number(0);
    in.otherReasonForExit = call.number(1);
    for (int q = 0; q < 3; ++q) {
        in.employed[q] = call.number(2 + 3 * q);
        in.type[q] = call.number(3 + 3 * q);
        in.wages[q] = call.number(4 + 3 * q);
    }
    call.setResult(outcomeGroupOf(in));
}

void ruleWeightOf(FunctionCall& call) {
    const std::optional<int> weight =
        ruleWeight(call.number(0), call.number(1), call.number(2), call.number(3));
    if (weight)
        call.setResult(*weight);
    else
        call.setNull();
}

} // namespace

void registerRuleFunctions(Database& db) {
    db.defineFunction("orv_outcome_group", 11, outcomeGroup, Database::Use::Innocuous);
    db.defineFunction("orv_rule_weight", 4, ruleWeightOf, Database::Use::Innocuous);
}

} // namespace orv
