#pragma once

#include <QString>

#include <functional>
#include <string_view>

namespace orv {

class Session;

enum class FileResult {
    Cancelled, // nothing done
    Failed,    // reported to the user
    Opened,    // a database is open and the sign-in screen comes next
    Done,
};

// Lets tests make a step fail: the hook is called with the step's name and may throw DbError.
using FaultHook = std::function<void(std::string_view step)>;

// The file commands; the caller's dialog supplies the file name (empty when cancelled).
FileResult createDatabase(Session& session, const QString& fileName);
FileResult openDatabase(Session& session, const QString& fileName);
FileResult saveDatabaseAs(Session& session, const QString& fileName, const FaultHook& hook = {});
FileResult compactDatabaseFile(Session& session, const FaultHook& hook = {});
FileResult repairDatabaseFile(Session& session, const FaultHook& hook = {});
FileResult switchDatabase(Session& session, const QString& dataSourceName);

// Writes a consistent copy of an SQLite database (closed or not) and puts it in place of
// target atomically. Throws DbError; target is untouched on failure.
void copyDatabaseFile(const QString& source, const QString& target, const FaultHook& hook = {});
// Puts file in place of target atomically (copying it first when it lies on another volume).
void replaceFile(const QString& file, const QString& target, bool keepFile,
                 const FaultHook& hook = {});

// Checks a database file. Returns the integrity report, "ok" when sound.
QString integrityReport(const QString& path);
// Rebuilds a damaged database from what is readable into target. Returns the rows saved.
long long rebuildDatabase(const QString& damaged, const QString& target);

} // namespace orv
