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

// Where an import stands, kept in the database beside the master: a crash, a kill or a power
// cut between the start and the end of an import leaves it "started", and the next open of the
// database can say so and put the master's indexes back. Databases made before it get the table
// on their first import.
namespace importJournal {

// In the caller's transaction, before the master is emptied: the import of `extract` starts,
// and `indexes` are the ones it drops for the load.
void begin(Database& db, const QString& extract, const IndexList& indexes);
// In the caller's transaction: the import ended (`outcome` says how) and its indexes are back.
void finish(Database& db, const QString& outcome);
// The indexes an unfinished import dropped, none when every import finished.
IndexList droppedIndexes(Database& db);

struct Unfinished {
    QString extract;
    QString startedAt;
    qint64 records = 0; // in the master now
};
// When the last import did not finish: restores the master's indexes, takes the groups off the
// partial master (as a stopped import does), marks the import ended and returns what the user
// must be told. Throws DbError.
std::optional<Unfinished> recover(Database& db);

} // namespace importJournal

// The text that tells the user about an import that did not finish.
QString unfinishedImportText(const importJournal::Unfinished& run);

// Run on every open: reports an unfinished import through the front end and repairs the master.
// An import still running in another program is left alone. Throws DbError when the repair
// fails.
void checkUnfinishedImport(Session& session);

} // namespace orv
