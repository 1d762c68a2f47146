#pragma once

#include <QString>

namespace orv {

class Database;
class FrontEnd;

// The schema version this program writes (PRAGMA user_version).
inline constexpr int kSchemaVersion = 2;

inline const QString kUpgradeSchemaQuestion = QStringLiteral(
    "This database was made by an earlier version of the program. Add the tables that keep the "
    "history of the worksheets? The database cannot be opened without them.");

// The statements that bring a database of version 1 to this one; idempotent.
const char* schemaHistorySql();

// Brings a validation database made by an earlier version up to this one, after asking, in one
// transaction. Throws DbError, with nothing changed, when the user says No, when the file is
// read-only, or when the database is newer than this program.
void upgradeSchema(Database& db, FrontEnd& ui);

} // namespace orv
