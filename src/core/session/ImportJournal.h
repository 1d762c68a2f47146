#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace orv {

class Database;
class Session;

// The master's indexes as the database defines them: name and statement.
using IndexList = std::vector<std::pair<QString, QString>>;

// Where an import stands, kept in the database beside the master. The import itself is one
// transaction, which a crash, a kill or a power cut rolls back; the start is committed before
// it, so that the next open of the database can tell the user that the import did not finish.
// Databases made before it get the table on their first import.
namespace importJournal {

// Commits that the import of `extract` starts.
void begin(Database& db, const QString& extract);
// The import ended (`outcome` says how): in the import's transaction when it completes, on
// its own otherwise.
void finish(Database& db, const QString& outcome);

struct Unfinished {
    QString extract;
    QString startedAt;
    // Builds before the import was one transaction left the rows they had loaded: then the
    // master holds `records` of them, without groups.
    bool partial = false;
    qint64 records = 0;
};
// When the last import did not finish: marks it ended and returns what the user must be told.
// A partial master of an older build gets its indexes back and loses its groups, as a stopped
// import of that build did. Throws DbError.
std::optional<Unfinished> recover(Database& db);

} // namespace importJournal

// The text that tells the user about an import that did not finish.
QString unfinishedImportText(const importJournal::Unfinished& run);

// Run on every open: reports an unfinished import through the front end and repairs the master.
// An import still running in another program is left alone. Throws DbError when the repair
// fails.
void checkUnfinishedImport(Session& session);

} // namespace orv
