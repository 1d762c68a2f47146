#pragma once

#include "rules/OutcomeGroupRules.h"

namespace orv {

class Session;

// Places every master record in its performance outcome group. Records that fit no group keep
// their group columns. Does nothing unless the population type is "1". A refused statement
// throws DbError and nothing is assigned.
void AssignOutcomeGroups(Session& session);

} // namespace orv
