#include "validation/OutcomeGroups.h"

#include "db/Savepoint.h"
#include "session/Session.h"
#include "validation/RuleFunctions.h"

#include <string>

namespace orv {

void AssignOutcomeGroups(Session& session) {
    if (session.settings().popType != QLatin1String("1"))
        return;
    Database& db = session.db();
    Savepoint sp(db, "orv_groups");
    // The rules of outcomeGroupOf, so that this pass and the import's agree by construction.
    // The group is worked out twice per record, which costs less than a join that reads the
    // table out of order.
    registerRuleFunctions(db);
    const std::string group =
        "orv_outcome_group(EmploymentStatus, OtherReasonForExit, \"EmpQTR+1\", "
        "\"TypeEmpQTR+1AfterExit\", Earn1QTRAfterExit, \"EmpQTR+2AfterExit\", "
        "\"TypeEmpQTR+2AfterExit\", Earn2QTRAfterExit, \"EmpQTR+3\", "
        "\"TypeEmpQTR+3AfterExit\", Earn3QTRAfterExit)";
    db.exec("UPDATE tblORVmaster SET (spopnum, subpop, pop) = (SELECT g, '1.' || g, 1 FROM "
            "(SELECT " +
            group + " AS g)) WHERE " + group + " <> 0");
    sp.release();
}

} // namespace orv
