#include "validation/RuleFunctions.h"

#include "db/Database.h"
#include "import/RecordRules.h"
#include "validation/OutcomeGroups.h"

#include <sqlite3.h>

namespace orv {

namespace {

// A value the rules compare with numbers; text that is no number compares with none.
OptNumber number(sqlite3_value* v) {
    switch (sqlite3_value_numeric_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
        return sqlite3_value_double(v);
    default:
        return std::nullopt;
    }
}

void outcomeGroup(sqlite3_context* context, int, sqlite3_value** args) {
    GroupInputs in;
    in.employmentStatus = number(args[0]);
    in.otherReasonForExit = number(args[1]);
    for (int q = 0; q < 3; ++q) {
        in.employed[q] = number(args[2 + 3 * q]);
        in.type[q] = number(args[3 + 3 * q]);
        in.wages[q] = number(args[4 + 3 * q]);
    }
    sqlite3_result_int(context, outcomeGroupOf(in));
}

void ruleWeightOf(sqlite3_context* context, int, sqlite3_value** args) {
    const std::optional<int> weight =
        ruleWeight(number(args[0]), number(args[1]), number(args[2]), number(args[3]));
    if (weight)
        sqlite3_result_int(context, *weight);
    else
        sqlite3_result_null(context);
}

void add(Database& db, const char* name, int arguments,
         void (*function)(sqlite3_context*, int, sqlite3_value**)) {
    const int rc = sqlite3_create_function_v2(db.handle(), name, arguments,
                                              SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                              nullptr, function, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw DbError(db.errorText(), rc);
}

} // namespace

void registerRuleFunctions(Database& db) {
    add(db, "orv_outcome_group", 11, outcomeGroup);
    add(db, "orv_rule_weight", 4, ruleWeightOf);
}

} // namespace orv
