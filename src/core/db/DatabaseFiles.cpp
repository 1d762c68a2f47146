#include "db/DatabaseFiles.h"

#include "db/DataSource.h"
#include "db/Database.h"
#include "db/Session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cstdio>
#include <unistd.h>

namespace orv {

namespace {

const QString kCheckFailed = QStringLiteral("The copy failed its check: %1");

void fault(const FaultHook& hook, std::string_view step) {
    if (hook)
        hook(step);
}

QString tempNameBeside(const QString& target) {
    return target + QStringLiteral(".orvtmp");
}

void syncFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        throw DbError(QStringLiteral("Cannot open '%1': %2").arg(path, f.errorString()));
    if (::fsync(f.handle()) != 0)
        throw DbError(QStringLiteral("Cannot write '%1' to disk.").arg(path));
}

void removeIfExists(const QString& path) {
    if (QFileInfo::exists(path) && !QFile::remove(path))
        throw DbError(QStringLiteral("Cannot delete '%1'.").arg(path));
}

void vacuumInto(const QString& source, const QString& target) {
    Database src(source, Database::Mode::ReadOnly);
    checkValidationDatabase(src);
    src.execute("VACUUM INTO ?1", {target});
}

// Closing the window on the user's work is the last thing a file command should do silently:
// every command ends by clearing panel 1 and the busy pointer, whatever happened.
struct BusyScope {
    explicit BusyScope(Session& s, const QString& status = {}) : session(s) {
        session.ui().setBusy(true);
        if (!status.isEmpty())
            session.ui().setStatus(1, status);
    }
    ~BusyScope() {
        session.ui().setBusy(false);
        session.ui().setStatus(1, QString());
    }
    Session& session;
};

constexpr MenuEntry kDataEntries[] = {
    MenuEntry::ReportValidation,       MenuEntry::DataValidation,  MenuEntry::ImportData,
    MenuEntry::ChangeReportingOptions, MenuEntry::CompactDatabase, MenuEntry::FixDatabase};

void setDataMenus(Session& session, bool enabled) {
    for (MenuEntry e : kDataEntries)
        session.ui().setMenuEnabled(e, enabled);
}

} // namespace

void replaceFile(const QString& file, const QString& target, bool keepFile, const FaultHook& hook) {
    QString staged = file;
    const bool sameDir = QFileInfo(file).absolutePath() == QFileInfo(target).absolutePath();
    if (keepFile || !sameDir) {
        // Stage a copy beside the target so that the final rename is atomic.
        staged = tempNameBeside(target);
        removeIfExists(staged);
        if (!QFile::copy(file, staged))
            throw DbError(QStringLiteral("Cannot write '%1'.").arg(staged));
    }
    try {
        syncFile(staged);
        fault(hook, "replace");
        if (std::rename(QFile::encodeName(staged).constData(),
                        QFile::encodeName(target).constData()) != 0)
            throw DbError(QStringLiteral("Cannot replace '%1'.").arg(target));
    } catch (...) {
        if (staged != file)
            QFile::remove(staged);
        throw;
    }
    // A journal left from the replaced file would be applied to the new one.
    QFile::remove(target + QStringLiteral("-journal"));
    if (!keepFile && staged != file)
        QFile::remove(file);
}

void copyDatabaseFile(const QString& source, const QString& target, const FaultHook& hook) {
    const QString staged = tempNameBeside(target);
    removeIfExists(staged);
    try {
        vacuumInto(source, staged);
        fault(hook, "copy");
        const QString report = integrityReport(staged);
        if (report != QLatin1String("ok"))
            throw DbError(kCheckFailed.arg(report));
        replaceFile(staged, target, false, hook);
    } catch (...) {
        QFile::remove(staged);
        throw;
    }
}

QString integrityReport(const QString& path) {
    Database db(path, Database::Mode::ReadOnly);
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
    struct Item {
        QString type, name, sql;
    };
    QVector<Item> items;
    {
        Statement st =
            old.prepare("SELECT type, name, sql FROM sqlite_master WHERE sql IS NOT NULL "
                        "AND name NOT LIKE 'sqlite_%' ORDER BY rowid");
        while (st.step())
            items.push_back({st.text(0), st.text(1), st.text(2)});
    }
    const QVariant appId = old.scalar("PRAGMA application_id");
    const QVariant version = old.scalar("PRAGMA user_version");

    removeIfExists(target);
    Database fresh(target, Database::Mode::Create);
    fresh.exec(QStringLiteral("PRAGMA application_id = %1; PRAGMA user_version = %2;")
                   .arg(appId.toLongLong())
                   .arg(version.toLongLong())
                   .toStdString());
    long long saved = 0;
    Transaction tx(fresh);
    for (const Item& item : items) {
        if (item.type != QLatin1String("table"))
            continue;
        fresh.exec(item.sql.toStdString());
        const QString quoted =
            QStringLiteral("\"%1\"").arg(QString(item.name).replace('"', "\"\""));
        int columns = 0;
        {
            Statement probe =
                old.prepare(QStringLiteral("SELECT * FROM %1").arg(quoted).toStdString());
            columns = probe.columnCount();
        }
        QStringList marks;
        for (int i = 0; i <= columns; ++i)
            marks << QStringLiteral("?");
        QStringList names;
        {
            Statement probe =
                old.prepare(QStringLiteral("SELECT * FROM %1").arg(quoted).toStdString());
            for (int i = 0; i < columns; ++i)
                names << QStringLiteral("\"%1\"").arg(probe.columnName(i).replace('"', "\"\""));
        }
        Statement put =
            fresh.prepare(QStringLiteral("INSERT OR IGNORE INTO %1 (rowid, %2) VALUES (%3)")
                              .arg(quoted, names.join(','), marks.join(','))
                              .toStdString());
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
    }
    // Indexes, views and triggers after the data, so that triggers do not refuse the copy.
    for (const Item& item : items) {
        if (item.type == QLatin1String("table"))
            continue;
        try {
            fresh.exec(item.sql.toStdString());
        } catch (const DbError&) {
            // A unique index over damaged duplicates is dropped rather than failing the repair.
        }
    }
    tx.commit();
    return saved;
}

FileResult createDatabase(Session& session, const QString& fileName) {
    if (fileName.isEmpty())
        return FileResult::Cancelled;
    BusyScope busy(session, QStringLiteral("Creating Database please wait....."));
    try {
        if (QFileInfo::exists(fileName) &&
            !session.ui().askYesNo(QStringLiteral("Database already exists! Override?"),
                                   Icon::Question)) {
            session.ui().setMenuEnabled(MenuEntry::FileNew, true);
            session.ui().setMenuEnabled(MenuEntry::FileOpen, true);
            session.ui().setMenuEnabled(MenuEntry::FileSaveAs, false);
            return FileResult::Cancelled;
        }
        const QString tmpl = session.programFile(QStringLiteral("ORVTemplate.xmdb"));
        if (!QFileInfo::exists(tmpl))
            throw DbError(QStringLiteral("The template database '%1' is missing.").arg(tmpl));
        // Never overwrite the file under an open connection.
        if (session.isOpen() && QFileInfo(session.databasePath).canonicalFilePath() ==
                                    QFileInfo(fileName).canonicalFilePath())
            session.closeConnection();
        replaceFile(tmpl, fileName, true);
        if (session.openDatabaseConnection(fileName, session.lastConnectError)) {
            session.ui().message(QStringLiteral("Unable to attach to database!\n") +
                                     session.lastConnectError,
                                 Icon::Critical);
            return FileResult::Failed;
        }
        setDataMenus(session, true);
        session.ui().setMenuEnabled(MenuEntry::FileNew, false);
        session.ui().setMenuEnabled(MenuEntry::FileOpen, false);
        session.ui().setMenuEnabled(MenuEntry::FileSaveAs, true);
        return FileResult::Opened;
    } catch (const DbError& e) {
        session.ui().message(e.message(), Icon::Exclamation);
        return FileResult::Failed;
    }
}

FileResult openDatabase(Session& session, const QString& fileName) {
    if (fileName.isEmpty()) {
        session.ui().message(QStringLiteral("No file has been selected."), Icon::None);
        return FileResult::Cancelled;
    }
    BusyScope busy(session, QStringLiteral("Opening database File. Please wait...."));
    if (session.openDatabaseConnection(fileName, session.lastConnectError)) {
        session.ui().message(QStringLiteral("Unable to attach to database!\n") +
                                 session.lastConnectError,
                             Icon::Critical);
        return FileResult::Failed;
    }
    setDataMenus(session, true);
    return FileResult::Opened;
}

FileResult saveDatabaseAs(Session& session, const QString& fileName, const FaultHook& hook) {
    if (fileName.isEmpty())
        return FileResult::Cancelled;
    BusyScope busy(session, QStringLiteral("Saveing Database please wait....."));
    const QString original = session.dataSourcePath;
    try {
        if (fileName == original) {
            session.ui().message(QStringLiteral("Can't save to the same file name."),
                                 Icon::Exclamation);
            return FileResult::Cancelled;
        }
        if (QFileInfo::exists(fileName) &&
            !session.ui().askYesNo(QStringLiteral("Database exists! Override?"), Icon::Question))
            return FileResult::Cancelled;
        session.closeConnection();
        copyDatabaseFile(original, fileName, hook);
        const bool stay = session.ui().askYesNo(
            QStringLiteral("Do you want to stay in your original database?"), Icon::Question);
        session.openDatabaseConnection(stay ? original : fileName, session.lastConnectError);
        return FileResult::Done;
    } catch (const DbError& e) {
        session.ui().message(e.message() + QStringLiteral(": Make sure everyone exits the current "
                                                          "database or you exit all open forms "
                                                          "before trying again."),
                             Icon::Exclamation);
        session.openDatabaseConnection(original, session.lastConnectError);
        return FileResult::Failed;
    }
}

FileResult compactDatabaseFile(Session& session, const FaultHook& hook) {
    BusyScope busy(session);
    const QString source = session.databasePath;
    const QString target = session.programFile(QStringLiteral("temp.mdb"));
    try {
        removeIfExists(target);
        session.closeConnection();
        session.ui().setStatus(1, QStringLiteral("Compacting Database Please wait...."));
        session.ui().processEvents();
        vacuumInto(source, target);
        fault(hook, "compact");
        const QString report = integrityReport(target);
        if (report != QLatin1String("ok"))
            throw DbError(kCheckFailed.arg(report));
        // temp.mdb stays in the program folder; the original is replaced only by a complete copy.
        replaceFile(target, source, true, hook);
        if (session.openDatabaseConnection(source, session.lastConnectError)) {
            session.ui().message(QStringLiteral("Unable to log into system ") +
                                     session.lastConnectError,
                                 Icon::Critical);
            return FileResult::Failed;
        }
        return FileResult::Done;
    } catch (const DbError& e) {
        session.ui().message(e.message(), Icon::Exclamation);
        // The original is intact: go on working in it.
        session.openDatabaseConnection(source, session.lastConnectError);
        return FileResult::Failed;
    }
}

FileResult repairDatabaseFile(Session& session, const FaultHook& hook) {
    if (!session.ui().askYesNo(QStringLiteral("Repair the VRQ database?"), Icon::Question))
        return FileResult::Cancelled;
    const QString file = session.databasePath;
    BusyScope busy(session);
    try {
        session.closeConnection();
        session.ui().setStatus(1, QStringLiteral("Fixing Database Please wait...."));
        session.ui().processEvents();
        fault(hook, "check");
        if (integrityReport(file) != QLatin1String("ok")) {
            const QString rebuilt = tempNameBeside(file) + QStringLiteral(".rebuilt");
            try {
                rebuildDatabase(file, rebuilt);
                fault(hook, "rebuild");
                const QString report = integrityReport(rebuilt);
                if (report != QLatin1String("ok"))
                    throw DbError(kCheckFailed.arg(report));
                replaceFile(rebuilt, file, false, hook);
            } catch (...) {
                QFile::remove(rebuilt);
                throw;
            }
        }
        if (session.openDatabaseConnection(file, session.lastConnectError))
            session.ui().message(QStringLiteral("Unable to log into tblsystem ") +
                                     session.lastConnectError,
                                 Icon::Critical);
        session.ui().setBusy(false);
        session.ui().message(QStringLiteral("End of repair procedure!"), Icon::Information);
        return FileResult::Done;
    } catch (const DbError& e) {
        if (session.openDatabaseConnection(file, session.lastConnectError)) {
            session.ui().message(QStringLiteral("Unable to log into system ") +
                                     session.lastConnectError,
                                 Icon::Critical);
            session.ui().endProgram();
            return FileResult::Failed;
        }
        session.ui().message(QStringLiteral("Repair unsuccessful!\r") + e.message(),
                             Icon::Exclamation);
        return FileResult::Failed;
    }
}

FileResult switchDatabase(Session& session, const QString& dataSourceName) {
    BusyScope busy(session);
    session.closeConnection();
    setDataMenus(session, false);
    session.databaseName = dataSourceName;
    // A data source names its database through DBQ; open that file.
    const QString file = datasource::attribute(dataSourceName, QStringLiteral("DBQ"));
    if (session.openDatabaseConnection(file, session.lastConnectError)) {
        session.ui().message(QStringLiteral("Unable to log into system ") +
                                 session.lastConnectError,
                             Icon::Critical);
        return FileResult::Failed;
    }
    setDataMenus(session, true);
    return FileResult::Opened;
}

} // namespace orv
