#pragma once

#include "db/Error.h"
#include "program/FrontEnd.h"

#include <QString>

#include <functional>
#include <string_view>

namespace orv {

class Database;
class Session;

enum class [[nodiscard]] FileResult{
    Cancelled, // nothing done
    Opened,    // a database is open and the sign-in screen comes next
    Done,
};

// Why a file command could not be done, in the words the user reads. A database that cannot
// be opened at the end of a command is a critical failure; so is a repair that leaves no
// database to go on with, after which the program ends.
class FileCommandError : public Error {
public:
    enum class Kind { Failed, NotOpened, Unrecoverable };
    explicit FileCommandError(const QString& message, Kind kind = Kind::Failed,
                              bool databaseChanged = false)
        : Error(message, databaseChanged), mKind(kind) {}
    Kind kind() const { return mKind; }
    Icon icon() const { return mKind == Kind::Failed ? Icon::Exclamation : Icon::Critical; }
    // The front end ends the program once the message has been read.
    bool endsProgram() const { return mKind == Kind::Unrecoverable; }

private:
    Kind mKind;
};

// Lets tests make a step fail: the hook is called with the step's name and may throw DbError.
using FaultHook = std::function<void(std::string_view step)>;

// The file commands; the caller's dialog supplies the file name (empty when cancelled).
// Compact, save-as and repair take the database for themselves first: they refuse while
// another program or another copy of this one uses it, and never leave it half-written.
// Each throws FileCommandError when it fails; compact, save-as and repair open their database
// again first where they can. Questions and notes along the way go to the session's front end.
[[nodiscard]] FileResult createDatabase(Session& session, const QString& fileName);
[[nodiscard]] FileResult openDatabase(Session& session, const QString& fileName);
[[nodiscard]] FileResult saveDatabaseAs(Session& session, const QString& fileName,
                                        const FaultHook& hook = {});
[[nodiscard]] FileResult compactDatabaseFile(Session& session, const FaultHook& hook = {});
[[nodiscard]] FileResult repairDatabaseFile(Session& session, const FaultHook& hook = {});
[[nodiscard]] FileResult switchDatabase(Session& session, const QString& dataSourceName);

// Checks a database file. Returns the integrity report, "ok" when sound.
QString integrityReport(const QString& path);
QString integrityReport(Database& db);
// Rebuilds a damaged database from what is readable into target. Returns the rows saved.
long long rebuildDatabase(const QString& damaged, const QString& target);
long long rebuildDatabase(Database& damaged, const QString& target);

} // namespace orv
