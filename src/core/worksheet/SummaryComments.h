#pragma once

#include <QString>

namespace orv {

class Session;

// The validators' summary comments: the Comments of tblValSummaryNotes row '1', empty when
// Null. Throws DbError.
QString readSummaryComments(Session& session);
// Stores the text exactly as typed (a null text as Null, as a new database has it) and returns
// it as read back. Throws DbError.
QString updateSummaryComments(Session& session, const QString& text);

} // namespace orv
