#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <map>
#include <optional>
#include <vector>

namespace orv {

class Database;

// The worksheet columns of one sample row as stored (the 17 marks, 4 flags, Comments), by column
// name.
using WorksheetValues = std::map<QString, QVariant>;

// The worksheet columns in their order (mark columns, flag columns, "Comments").
const QStringList& worksheetColumns();

// The worksheet columns of the sample row with this rowid; nothing when there is none.
// Throws DbError.
std::optional<WorksheetValues> readWorksheetValues(Database& db, qint64 sampleRow);

// A stored value as the history writes it: a mark "P" or "F", a flag "1" or "0" (unset flags
// alike), a comment its text; Null for no mark and no comment.
QVariant historyText(const QString& column, const QVariant& stored);

// Appends one history row per item that differs between before and after, all with the same
// time, the operating-system user and the host. A column missing from a map counts as Null.
// Returns the rows written. Throws DbError, having written none.
int appendWorksheetHistory(Database& db, const QString& source, const QVariant& obs,
                           const QVariant& ssn, const WorksheetValues& before,
                           const WorksheetValues& after);

struct HistoryRow {
    QString changedAt, osUser, host, source, obs, ssn, item, oldValue, newValue;
};
// The history, of one OBS or of every record, oldest first. Throws DbError.
std::vector<HistoryRow> readHistory(Database& db, std::optional<qint64> obs = {});

// The user the operating system runs the program for, as the history names it.
QString osUserName();

} // namespace orv
