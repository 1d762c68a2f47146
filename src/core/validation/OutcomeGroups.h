#pragma once

#include <optional>

namespace orv {

class Session;

// Places every master record in its performance outcome group (spopnum 1-25, subpop '1.k',
// pop 1). Records that fit no group keep their group columns. Does nothing unless the
// population type is "1". A refused statement throws DbError and nothing is assigned.
void AssignOutcomeGroups(Session& session);

// The values of one record that decide its group; empty for Null.
using OptNumber = std::optional<double>;
struct GroupInputs {
    OptNumber employmentStatus;
    OptNumber otherReasonForExit;
    OptNumber employed[3]; // EmpQTR+1, EmpQTR+2AfterExit, EmpQTR+3
    OptNumber type[3];     // TypeEmpQTR+nAfterExit
    OptNumber wages[3];    // EarnnQTRAfterExit
};
// The group the statements of AssignOutcomeGroups give a record, 0 for none: lets the import
// place each record as it loads instead of rewriting the whole table afterwards.
int outcomeGroupOf(const GroupInputs& in);

} // namespace orv
