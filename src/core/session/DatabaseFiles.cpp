#include "session/DatabaseFiles.h"

#include "db/Database.h"
#include "db/DatabaseLock.h"
#include "db/SafeFile.h"
#include "program/DataSource.h"
#include "session/Session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <algorithm>
#include <optional>

namespace orv {

namespace {

// The user stopped the work while only scratch files of ours had been written.
struct Stopped {};

const QString kCheckFailed = QStringLiteral("The copy failed its check: %1");
// How long a command waits for another program to finish with the database before refusing.
constexpr int kBusyWaitMs = 1000;

void fault(const FaultHook& hook, std::string_view step) {
    if (hook)
        hook(step);
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString folderOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

// The engine's failures in words a user can act on: a full disk names the folder that
// filled up, a busy file says that another program has it.
DbError forUser(const DbError& e, const QString& folderWritten) {
    if (isDiskFullCode(e.code()))
        return DbError(files::diskFullText(folderWritten), e.code());
    if (isBusyCode(e.code()))
        return DbError(kDatabaseInUse, e.code());
    return e;
}

void requireFolder(const QString& path) {
    const QString folder = folderOf(path);
    if (!QFileInfo(folder).isDir())
        throw DbError(QStringLiteral("The folder %1 does not exist.").arg(native(folder)));
}

void requireWritableFolder(const QString& path) {
    requireFolder(path);
    const QString folder = folderOf(path);
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0)
        throw DbError(QStringLiteral("The folder %1 is read-only.").arg(native(folder)));
}

// The data source file and the tools that read it take a path as one line.
void requireOneLine(const QString& path) {
    if (!path.contains(QLatin1Char('\n')) && !path.contains(QLatin1Char('\r')))
        return;
    QString shown = path;
    shown.replace(QLatin1Char('\n'), QLatin1String("\\n"))
        .replace(QLatin1Char('\r'), QLatin1String("\\r"));
    throw FileCommandError(
        QStringLiteral("A database path cannot hold a line break: %1").arg(shown));
}

void takeLock(DatabaseLock& lock, const QString& path) {
    if (path.isEmpty())
        throw DbError(QStringLiteral("No database is open."));
    if (!lock.acquire(path))
        throw DbError(lock.errorText());
}

bool sameFile(const QString& a, const QString& b) {
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// A connection that has the database file to itself until it is closed: no other connection,
// of this process or another, reads or writes it meanwhile. Refuses with kDatabaseInUse
// when another keeps the file busy. A read-only file is held against writers only.
class ExclusiveDatabase {
public:
    ExclusiveDatabase(const QString& path, bool write)
        : mDb(path, write ? Database::Mode::ReadWrite : Database::Mode::ReadOnly) {
        mDb.setBusyTimeout(kBusyWaitMs);
        try {
            // The file locks taken below stay until the connection closes.
            mDb.exec("PRAGMA locking_mode = EXCLUSIVE");
            if (write) {
                Transaction tx(mDb, Transaction::Kind::Exclusive);
                tx.commit();
            } else {
                mDb.scalar("SELECT count(*) FROM sqlite_master");
            }
        } catch (const DbError& e) {
            throw forUser(e, folderOf(path));
        }
    }
    Database& db() { return mDb; }

private:
    Database mDb;
};

// Before a file is replaced: nobody may be working in it, and a journal of its own is rolled
// back into it rather than left to be applied to its successor. Files that are no database
// have nothing to protect.
class Replaceable {
public:
    explicit Replaceable(const QString& path) {
        if (!QFileInfo::exists(path))
            return;
        try {
            mGuard = std::make_unique<ExclusiveDatabase>(path, !files::isReadOnly(path));
        } catch (const DbError& e) {
            if (isBusyCode(e.code()))
                throw;
        }
        for (const char* suffix : {"-journal", "-wal"})
            if (QFileInfo::exists(path + QLatin1String(suffix)) && !mGuard)
                throw DbError(kDatabaseInUse);
    }

private:
    std::unique_ptr<ExclusiveDatabase> mGuard;
};

// A scratch database and the journal the engine kept for it; both are this command's own.
void removeScratch(const QString& path) {
    for (const char* suffix : {"", "-journal", "-wal"})
        QFile::remove(path + QLatin1String(suffix));
}

// The copy's size against the original's tells how far the copy has come.
void vacuumInto(Database& source, const QString& target, FrontEnd& ui, const QString& text) {
    removeScratch(target);
    files::createPrivateFile(target);
    ProgressScope progress(ui, text, true);
    const qint64 size = std::max<qint64>(1, QFileInfo(source.path()).size());
    StatementTicks ticks(
        source, [&] { return progress.step(std::min(QFileInfo(target).size(), size - 1), size); });
    try {
        source.execute("VACUUM INTO ?1", {target});
    } catch (const DbError& e) {
        if (ticks.interrupted())
            throw Stopped{};
        throw forUser(e, folderOf(target));
    }
}

QString integrityReport(Database& db, FrontEnd& ui, const QString& text) {
    ProgressScope progress(ui, text, true);
    StatementTicks ticks(db, [&] { return progress.step(0, 0); });
    const QString report = integrityReport(db);
    if (ticks.interrupted())
        throw Stopped{};
    return report;
}

void requireSound(const QString& path, FrontEnd& ui) {
    Database db(path, Database::Mode::ReadOnly);
    const QString report = integrityReport(db, ui, QStringLiteral("Checking the new copy..."));
    if (report != QLatin1String("ok"))
        throw DbError(kCheckFailed.arg(report));
}

// Writes the pages of from into the database that into holds, in one transaction of the
// engine: the file keeps its place, its owner and its permissions, and a failure or a crash
// half-way leaves its journal to restore it.
// Told as it goes but not stoppable: stopping half-way would only roll it back.
void copyInPlace(const QString& from, Database& into, FrontEnd& ui) {
    ProgressScope progress(ui, QStringLiteral("Writing the database..."));
    Database source(from, Database::Mode::ReadOnly);
    // Held until this transaction ends, so nobody gets in between; normal locking from here
    // on lets the engine delete its journal when done, or leave it hot when it fails.
    into.exec("PRAGMA locking_mode = NORMAL");
    try {
        into.copyFrom(source, [&](int done, int all) { progress.show(done, all); });
    } catch (const DbError& e) {
        throw forUser(e, folderOf(into.path()));
    }
}

// Puts a finished file in place of target. A file replaced keeps its owner and permissions; a
// new one is its owner's alone, as the staged copy was made.
void installFile(const QString& staged, const QString& target, const FaultHook& hook) {
    files::syncFile(staged);
    if (QFileInfo::exists(target))
        files::copyOwnerAndMode(target, staged);
    fault(hook, "replace");
    Replaceable old(target);
    files::renameOver(staged, target);
}

// Closing the window on the user's work is the last thing a file command should do silently:
// every command ends by clearing panel 1 and the busy pointer, whatever happened.
struct BusyScope {
    explicit BusyScope(Session& s, const QString& status = {}) : session(s) {
        session.ui().setBusy(true);
        if (!status.isEmpty())
            session.ui().workStatus(status);
    }
    ~BusyScope() {
        session.ui().setBusy(false);
        session.ui().workStatus(QString());
    }
    Session& session;
};

const QString kUnableToAttach = QStringLiteral("Unable to attach to database!\n");
const QString kUnableToLogIn = QStringLiteral("Unable to log into system ");

} // namespace

QString integrityReport(const QString& path) {
    Database db(path, Database::Mode::ReadOnly);
    return integrityReport(db);
}

QString integrityReport(Database& db) {
    QStringList lines;
    try {
        Statement st = db.prepare("PRAGMA integrity_check");
        while (st.step())
            lines << st.text(0);
    } catch (const DbError& e) {
        // Damage bad enough to stop the check is a report too.
        lines << e.message();
    }
    return lines.join(QLatin1Char('\n'));
}

long long rebuildDatabase(const QString& damaged, const QString& target) {
    Database old(damaged, Database::Mode::ReadOnly);
    return rebuildDatabase(old, target);
}

namespace {

// Goes back to a database once a command on another is over. Opening it again is all there is
// to do: when it fails, no database is open, and the command's own outcome is what the user is
// told.
void reopen(Session& session, const QString& path) {
    try {
        session.openDatabaseConnection(path);
    } catch (const DbError&) {
    }
}

// Opens a database at the end of a command; a failure is told as `prefix` and the reason.
void openAtEnd(Session& session, const QString& path, const QString& prefix,
               bool databaseChanged = false) {
    try {
        session.openDatabaseConnection(path);
    } catch (const DbError& e) {
        throw FileCommandError(prefix + e.message(), FileCommandError::Kind::NotOpened,
                               databaseChanged);
    }
}

// The work itself failed: told in the database layer's words, as a warning.
FileCommandError failure(const DbError& e) {
    return FileCommandError(e.message(), FileCommandError::Kind::Failed, e.databaseChanged());
}

struct SchemaItem {
    QString type, name, sql;
    bool isTable() const { return type == QLatin1String("table"); }
};

QVector<SchemaItem> readSchema(Database& old) {
    QVector<SchemaItem> items;
    Statement st = old.prepare("SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL "
                               "AND name NOT LIKE 'sqlite_%' ORDER BY rowid");
    while (st.step())
        items.push_back({st.text(0), st.text(1), st.text(2)});
    return items;
}

// A new database file that carries the old one's application id and version.
Database createRebuiltFile(Database& old, const QString& target) {
    const QVariant appId = old.scalar("PRAGMA application_id");
    const QVariant version = old.scalar("PRAGMA user_version");
    files::createPrivateFile(target);
    Database fresh(target, Database::Mode::Create);
    fresh.exec(QStringLiteral("PRAGMA application_id = %1; PRAGMA user_version = %2;")
                   .arg(appId.toLongLong())
                   .arg(version.toLongLong())
                   .toStdString());
    return fresh;
}

// The rows of one table that can still be read, into its empty copy; returns their count.
long long copyReadableRows(Database& old, Database& fresh, const QString& table) {
    const QString quoted = quoteIdentifier(table);
    int columns = 0;
    {
        Statement probe = old.prepare(QStringLiteral("SELECT * FROM %1").arg(quoted).toStdString());
        columns = probe.columnCount();
    }
    QStringList marks;
    for (int i = 0; i <= columns; ++i)
        marks << QStringLiteral("?");
    QStringList names;
    {
        Statement probe = old.prepare(QStringLiteral("SELECT * FROM %1").arg(quoted).toStdString());
        for (int i = 0; i < columns; ++i)
            names << quoteIdentifier(probe.columnName(i));
    }
    Statement put = fresh.prepare(QStringLiteral("INSERT OR IGNORE INTO %1 (rowid, %2) VALUES (%3)")
                                      .arg(quoted, names.join(','), marks.join(','))
                                      .toStdString());
    long long saved = 0;
    auto copyRows = [&](const QString& sql, qint64 bound) -> qint64 {
        qint64 last = bound;
        try {
            Statement rows = old.prepare(sql.toStdString());
            rows.bind(1, static_cast<std::int64_t>(bound));
            while (rows.step()) {
                last = rows.int64(0);
                for (int i = 0; i <= columns; ++i)
                    put.bind(i + 1, rows.value(i));
                put.run();
                put.reset();
                ++saved;
            }
        } catch (const DbError&) {
            // Damaged pages end the walk; what was read stays.
        }
        return last;
    };
    const QString select = QStringLiteral("SELECT rowid, * FROM %1 ").arg(quoted);
    const qint64 reached =
        copyRows(select + QStringLiteral("WHERE rowid > ?1 ORDER BY rowid"), INT64_MIN);
    // Walk back from the end to save the rows behind a damaged page.
    copyRows(select + QStringLiteral("WHERE rowid > ?1 ORDER BY rowid DESC"), reached);
    return saved;
}

// Indexes, views and triggers come after the data, so that triggers do not refuse the copy.
void createSchemaObjects(Database& fresh, const QVector<SchemaItem>& items) {
    for (const SchemaItem& item : items) {
        if (item.isTable())
            continue;
        try {
            fresh.exec(item.sql.toStdString());
        } catch (const DbError&) {
            // A unique index over damaged duplicates is dropped rather than failing the repair.
        }
    }
}

long long rebuildTables(Database& old, const QString& target, ProgressScope* progress) {
    const QVector<SchemaItem> items = readSchema(old);
    Database fresh = createRebuiltFile(old, target);
    long long saved = 0;
    Transaction tx(fresh);
    const auto tables = std::count_if(items.cbegin(), items.cend(),
                                      [](const SchemaItem& item) { return item.isTable(); });
    qint64 done = 0;
    // A stop interrupts the statement reading the damaged file, which the walk below takes
    // for damage: it is told apart after each table.
    std::optional<StatementTicks> ticks;
    if (progress)
        ticks.emplace(old, [&] { return progress->step(done, tables); });
    for (const SchemaItem& item : items) {
        if (!item.isTable())
            continue;
        if (progress && progress->stopped())
            throw Stopped{};
        ++done;
        fresh.exec(item.sql.toStdString());
        saved += copyReadableRows(old, fresh, item.name);
    }
    if (progress && progress->stopped())
        throw Stopped{};
    createSchemaObjects(fresh, items);
    tx.commit();
    return saved;
}

} // namespace

long long rebuildDatabase(Database& old, const QString& target) {
    return rebuildTables(old, target, nullptr);
}

FileResult createDatabase(Session& session, const QString& fileName) {
    if (fileName.isEmpty())
        return FileResult::Cancelled;
    requireOneLine(fileName);
    BusyScope busy(session, QStringLiteral("Creating Database please wait....."));
    try {
        requireFolder(fileName);
        const bool exists = QFileInfo::exists(fileName);
        if (exists && !session.ui().askYesNo(QStringLiteral("Database already exists! Override?"),
                                             Icon::Question))
            return FileResult::Cancelled;
        const QString tmpl = session.programFile(QStringLiteral("ORVTemplate.xmdb"));
        if (!QFileInfo::exists(tmpl))
            throw DbError(QStringLiteral("The template database '%1' is missing.").arg(tmpl));
        DatabaseLock lock;
        takeLock(lock, fileName);
        // Never overwrite the file under an open connection.
        if (session.isOpen() && sameFile(session.databasePath(), fileName))
            session.closeConnection();
        const QString staged = DatabaseLock::scratchFileFor(fileName);
        try {
            files::createPrivateFile(staged);
            files::copyBytes(tmpl, staged);
            // A replaced file keeps the permissions its owner gave it; a new one holds SSNs
            // and stays the owner's alone.
            if (exists)
                files::copyOwnerAndMode(fileName, staged);
            Replaceable old(fileName);
            files::renameOver(staged, fileName);
        } catch (...) {
            QFile::remove(staged);
            throw;
        }
        openAtEnd(session, fileName, kUnableToAttach, true);
        return FileResult::Opened;
    } catch (const DbError& e) {
        throw failure(e);
    }
}

FileResult openDatabase(Session& session, const QString& fileName) {
    if (fileName.isEmpty()) {
        session.ui().message(QStringLiteral("No file has been selected."), Icon::None);
        return FileResult::Cancelled;
    }
    requireOneLine(fileName);
    BusyScope busy(session, QStringLiteral("Opening database File. Please wait...."));
    openAtEnd(session, fileName, kUnableToAttach);
    return FileResult::Opened;
}

FileResult saveDatabaseAs(Session& session, const QString& fileName, const FaultHook& hook) {
    if (fileName.isEmpty())
        return FileResult::Cancelled;
    requireOneLine(fileName);
    BusyScope busy(session, QStringLiteral("Saveing Database please wait....."));
    const QString original = session.dataSourcePath();
    try {
        // Another spelling of the same path is the same file too.
        if (fileName == original || sameFile(fileName, original))
            throw FileCommandError(QStringLiteral("Can't save to the same file name."));
        requireWritableFolder(fileName);
        if (QFileInfo::exists(fileName) &&
            !session.ui().askYesNo(QStringLiteral("Database exists! Override?"), Icon::Question))
            return FileResult::Cancelled;
        DatabaseLock source;
        takeLock(source, original);
        DatabaseLock target;
        takeLock(target, fileName);
        removeStaleScratchFiles(folderOf(fileName));
        session.closeConnection();
        {
            ExclusiveDatabase held(original, !files::isReadOnly(original));
            checkValidationDatabase(held.db());
            const QString staged = DatabaseLock::scratchFileFor(fileName);
            try {
                vacuumInto(held.db(), staged, session.ui(),
                           QStringLiteral("Copying the database..."));
                fault(hook, "copy");
                requireSound(staged, session.ui());
                installFile(staged, fileName, hook);
            } catch (...) {
                removeScratch(staged);
                throw;
            }
        }
        const bool stay = session.ui().askYesNo(
            QStringLiteral("Do you want to stay in your original database?"), Icon::Question);
        // Opening the copy moves the session's lock to it.
        reopen(session, stay ? original : fileName);
        return FileResult::Done;
    } catch (const Stopped&) {
        reopen(session, original);
        return FileResult::Cancelled;
    } catch (const DbError& e) {
        QString text = e.message();
        // Only a database in use is helped by others leaving it; a full or read-only folder,
        // or a missing one, is told as it is.
        if (isBusyCode(e.code()) || text == kDatabaseInUse ||
            text.contains(QLatin1String("another copy of the program"))) {
            if (text.endsWith(QLatin1Char('.')))
                text.chop(1);
            text += QStringLiteral(": Make sure everyone exits the current database or you exit "
                                   "all open forms before trying again.");
        }
        reopen(session, original);
        throw FileCommandError(text, FileCommandError::Kind::Failed, e.databaseChanged());
    }
}

FileResult compactDatabaseFile(Session& session, const FaultHook& hook) {
    BusyScope busy(session);
    const QString source = session.databasePath();
    const QString target = session.programFile(QStringLiteral("temp.mdb"));
    try {
        DatabaseLock lock;
        takeLock(lock, source);
        if (files::isReadOnly(source))
            throw DbError(QStringLiteral("The database %1 is read-only and cannot be compacted.")
                              .arg(native(source)));
        // Two copies of the program that share a folder must not share its scratch file.
        DatabaseLock scratch;
        if (!scratch.acquire(target))
            throw DbError(QStringLiteral("Another copy of the program is compacting a database "
                                         "in %1. Try again when it has finished.")
                              .arg(native(session.programDir())));
        removeScratch(target);
        session.closeConnection();
        session.ui().workStatus(QStringLiteral("Compacting Database Please wait...."));
        session.ui().processEvents();
        {
            ExclusiveDatabase held(source, true);
            checkValidationDatabase(held.db());
            try {
                vacuumInto(held.db(), target, session.ui(),
                           QStringLiteral("Compacting the database..."));
                fault(hook, "compact");
                requireSound(target, session.ui());
                fault(hook, "replace");
                copyInPlace(target, held.db(), session.ui());
            } catch (...) {
                removeScratch(target);
                throw;
            }
        }
        // temp.mdb stays in the program folder as the compacted copy.
        openAtEnd(session, source, kUnableToLogIn, true);
        return FileResult::Done;
    } catch (const Stopped&) {
        reopen(session, source);
        return FileResult::Cancelled;
    } catch (const DbError& e) {
        // The original is intact: go on working in it.
        reopen(session, source);
        throw failure(e);
    }
}

FileResult repairDatabaseFile(Session& session, const FaultHook& hook) {
    if (!session.ui().askYesNo(QStringLiteral("Repair the VRQ database?"), Icon::Question))
        return FileResult::Cancelled;
    const QString file = session.databasePath();
    BusyScope busy(session);
    try {
        DatabaseLock lock;
        takeLock(lock, file);
        session.closeConnection();
        session.ui().workStatus(QStringLiteral("Fixing Database Please wait...."));
        session.ui().processEvents();
        fault(hook, "check");
        bool rewritten = false;
        {
            const bool readOnly = files::isReadOnly(file);
            ExclusiveDatabase held(file, !readOnly);
            const QString report = integrityReport(held.db(), session.ui(),
                                                   QStringLiteral("Checking the database..."));
            if (report != QLatin1String("ok")) {
                if (readOnly)
                    throw DbError(
                        QStringLiteral("The database %1 is read-only and cannot be repaired.")
                            .arg(native(file)));
                const QString rebuilt = DatabaseLock::scratchFileFor(file);
                try {
                    try {
                        ProgressScope progress(session.ui(),
                                               QStringLiteral("Saving what can be read..."), true);
                        rebuildTables(held.db(), rebuilt, &progress);
                    } catch (const DbError& e) {
                        throw forUser(e, folderOf(rebuilt));
                    }
                    fault(hook, "rebuild");
                    requireSound(rebuilt, session.ui());
                    copyInPlace(rebuilt, held.db(), session.ui());
                    rewritten = true;
                } catch (...) {
                    removeScratch(rebuilt);
                    throw;
                }
                removeScratch(rebuilt);
            }
        }
        // The repair is over even when its database cannot be opened again, which is told last.
        std::optional<FileCommandError> notOpened;
        try {
            openAtEnd(session, file, QStringLiteral("Unable to log into tblsystem "), rewritten);
        } catch (const FileCommandError& e) {
            notOpened = e;
        }
        session.ui().setBusy(false);
        session.ui().message(QStringLiteral("End of repair procedure!"), Icon::Information);
        if (notOpened)
            throw *notOpened;
        return FileResult::Done;
    } catch (const Stopped&) {
        reopen(session, file);
        return FileResult::Cancelled;
    } catch (const DbError& e) {
        try {
            session.openDatabaseConnection(file);
        } catch (const DbError&) {
            // The engine's own words for the damage: the usual text would send the user to
            // the repair that has just failed.
            const QString why = isDamagedCode(e.code()) ? engineErrorText(e.code()) : e.message();
            throw FileCommandError(QStringLiteral("Repair could not recover the database %1 (%2). "
                                                  "Restore it from a copy, or create a new "
                                                  "database and import the extract again.")
                                       .arg(native(file), why),
                                   FileCommandError::Kind::Unrecoverable, e.databaseChanged());
        }
        throw FileCommandError(QStringLiteral("Repair unsuccessful!\r") + e.message(),
                               FileCommandError::Kind::Failed, e.databaseChanged());
    }
}

FileResult switchDatabase(Session& session, const QString& dataSourceName) {
    BusyScope busy(session);
    session.closeConnection();
    session.ui().databaseClosed();
    const QString file = datasource::databaseOf(dataSourceName);
    openAtEnd(session, file, kUnableToLogIn);
    return FileResult::Opened;
}

} // namespace orv
