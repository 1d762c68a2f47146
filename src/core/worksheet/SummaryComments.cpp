#include "worksheet/SummaryComments.h"

#include "session/Session.h"

namespace orv {

namespace {
const QString kRowId = QStringLiteral("1");
}

QString readSummaryComments(Session& session) {
    const QVariant v =
        session.db().scalar("SELECT Comments FROM tblValSummaryNotes WHERE ID = ?", {kRowId});
    return v.isNull() ? QString() : v.toString();
}

QString updateSummaryComments(Session& session, const QString& text) {
    session.db().execute("UPDATE tblValSummaryNotes SET Comments = ? WHERE ID = ?", {text, kRowId});
    return readSummaryComments(session);
}

} // namespace orv
