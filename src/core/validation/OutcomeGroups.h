#pragma once

namespace orv {

class Session;

// Places every master record in its performance outcome group (spopnum 1-25, subpop '1.k',
// pop 1). Records that fit no group keep their group columns. Does nothing unless the
// population type is "1". A refused statement is shown to the user and nothing is assigned;
// returns false then.
bool AssignOutcomeGroups(Session& session);

} // namespace orv
