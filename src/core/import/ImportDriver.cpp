#include "import/ImportDriver.h"

#include "db/Database.h"
#include "db/SafeFile.h"
#include "db/Session.h"
#include "db/SignIn.h"
#include "import/ExtractReader.h"
#include "import/FieldChecks.h"
#include "import/ImportErrors.h"
#include "import/ImportJournal.h"
#include "import/MasterLoader.h"
#include "import/PostImport.h"
#include "import/RecordLayout.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStorageInfo>

#include <sqlite3.h>

#include <new>

namespace orv {

namespace {

const QString kReloadQuestion = QStringLiteral(
    "This process will reload the Master Validation Table.\nPress Yes to continue / No to stop");
const QString kFailed = QStringLiteral("Import Failed!");
// How often the window gets a turn during long statements.
constexpr qint64 kYieldMs = 40;

QString entry(const QString& obs, const QString& message) {
    return QStringLiteral("Error with OBS code - ") + entryObs(obs) + QStringLiteral(". ") +
           message;
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// What stopped the reading or the loading, in words for the user.
QString describe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const ImportFileError& e) {
        return e.message();
    } catch (const DbError& e) {
        return e.message();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("There is not enough memory to read the file.");
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("An unexpected error stopped the import.");
    }
}

bool isDiskFull(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const DbError& e) {
        return isDiskFull(e);
    } catch (...) {
        return false;
    }
}

// Keeps the window painting during long statements.
class StatementYield {
public:
    StatementYield(Database& db, ImportView& view) : mDb(db), mView(view) {
        mTimer.start();
        sqlite3_progress_handler(db.handle(), 20000, &StatementYield::tick, this);
    }
    ~StatementYield() { sqlite3_progress_handler(mDb.handle(), 0, nullptr, nullptr); }
    StatementYield(const StatementYield&) = delete;
    StatementYield& operator=(const StatementYield&) = delete;

private:
    static int tick(void* self) {
        auto* me = static_cast<StatementYield*>(self);
        if (me->mTimer.elapsed() >= kYieldMs) {
            me->mView.refresh();
            me->mTimer.restart();
        }
        return 0;
    }
    Database& mDb;
    ImportView& mView;
    QElapsedTimer mTimer;
};

QSet<QString> loadStates(Database& db) {
    QSet<QString> states;
    Statement st = db.prepare("SELECT StateAbbreviation FROM tblstates");
    while (st.step())
        states.insert(st.text(0).toUpper());
    return states;
}

void writeErrorReport(const QString& path, const QString& extract, const ImportLog& log) {
    files::AtomicFile file(path);
    file.write(
        QStringLiteral("errors in file: %1 on %2\r\n\r\n\r\n\r\n")
            .arg(QFileInfo(extract).absoluteFilePath(), generalDate(QDateTime::currentDateTime()))
            .toUtf8());
    try {
        log.writeTo(file);
    } catch (const std::runtime_error& e) {
        // A failed write is told as the disk's reason, not as the log's.
        const QString why = file.failure();
        file.discard();
        throw DbError(why.isEmpty() ? QString::fromStdString(e.what()) : why);
    }
    file.commit();
}

// Why the import cannot start on this database, or nothing when it can.
QString preflight(Database& db, const QString& extract) {
    const int columns = db.prepare("SELECT * FROM tblORVmaster LIMIT 0").columnCount();
    if (columns != kExtractColumns + kDerivedColumns)
        return QStringLiteral("The database %1 is not as this program makes it: its master table "
                              "tblORVmaster has %2 columns where %3 belong. Nothing was changed; "
                              "import into a new validation database (File > New).")
            .arg(native(db.path()))
            .arg(columns)
            .arg(kExtractColumns + kDerivedColumns);
    const QString folder = QFileInfo(db.path()).absolutePath();
    const qint64 need = importSpaceNeeded(QFileInfo(extract).size(), QFileInfo(db.path()).size());
    const QStorageInfo disk(folder);
    if (disk.isValid() && disk.bytesAvailable() >= 0 && disk.bytesAvailable() < need) {
        constexpr qint64 kMB = 1024 * 1024;
        return QStringLiteral("The import needs about %1 MB free on %2; there are %3 MB. Free "
                              "some space there and import again. Nothing was changed.")
            .arg((need + kMB - 1) / kMB)
            .arg(native(folder))
            .arg(disk.bytesAvailable() / kMB);
    }
    return {};
}

// What the steps after the load change in the session; put back when the import is undone.
struct SessionState {
    Settings settings;
    RecordFilter recordFilter;
    QString filterText;

    static SessionState of(const Session& session) {
        return {session.settings, session.recordFilter, session.filterText};
    }
    void restore(Session& session) const {
        session.settings = settings;
        session.recordFilter = recordFilter;
        session.filterText = filterText;
        session.ui().setStatus(5, filterStateText(recordFilter));
    }
};

// An import that did not complete changed nothing but the journal's word on it.
void finishUndone(Database& db, ImportOutcome outcome) {
    try {
        Transaction tx(db);
        importJournal::finish(db, outcome == ImportOutcome::Cancelled ? QStringLiteral("cancelled")
                                                                      : QStringLiteral("failed"));
        tx.commit();
    } catch (const DbError&) {
        // A full disk: the next open says that the import did not finish, which is true.
    }
}

} // namespace

ImportDriver::ImportDriver(Session& session, ImportView& view) : mSession(session), mView(view) {}

qint64 importSpaceNeeded(qint64 extractBytes, qint64 databaseBytes) {
    // The new master with its indexes takes about 1.15 times the extract (measured on a
    // million generated records); the old database's pages go to the journal before they are
    // reused, in case the import is undone.
    return extractBytes / 4 * 5 + databaseBytes;
}

QString errorReportPath(const Session& session) {
    return session.programFile(QStringLiteral("ImportError.txt"));
}

QString generalDate(const QDateTime& when) {
    return QLocale::c().toString(when, QStringLiteral("M/d/yyyy h:mm:ss AP"));
}

void showImportErrorFile(Session& session) {
    const QString path = errorReportPath(session);
    if (!QFileInfo::exists(path)) {
        session.ui().message(QStringLiteral("No Error file to display."), Icon::None);
        return;
    }
    if (!session.ui().openDocument(path))
        session.ui().message(
            QStringLiteral("No program could open the error report. It is saved as %1").arg(path),
            Icon::Information);
}

ImportResult ImportDriver::importExtractFile(const QString& path, const ImportOptions& options) {
    ImportResult result;
    FrontEnd& ui = mSession.ui();
    if (!ui.ask(QuestionId::ReloadMaster, kReloadQuestion, Icon::Exclamation)) {
        mView.setLabel(1, QString());
        mView.setLabel(
            2,
            QStringLiteral("Record import cancelled at user's request. No records were imported"));
        return result;
    }
    // Nothing has changed yet: say why and leave the master, the sample and the report alone.
    auto refuse = [&](const QString& why) {
        result.stopReason = why;
        ui.message(why, Icon::Exclamation);
        mView.setLabel(1, kFailed);
        result.outcome = ImportOutcome::Failed;
        return result;
    };

    Database* db = nullptr;
    std::unique_ptr<ExtractReader> reader;
    try {
        db = &mSession.db();
        reader = std::make_unique<ExtractReader>(path);
    } catch (const std::exception& e) {
        return refuse(QString::fromStdString(e.what()));
    }

    // The error report belongs to the one import that holds the program folder. Another copy
    // of the program cannot import into this database: the session holds its lock.
    const QString reportPath = errorReportPath(mSession);
    QLockFile folderLock(mSession.programFile(QStringLiteral("ImportError.lock")));
    folderLock.setStaleLockTime(0); // an import may run for long; only a dead one's lock is stale
    // A folder where no lock can be made takes no report either: only a held lock refuses.
    if (!folderLock.tryLock(0) && folderLock.error() == QLockFile::LockFailedError)
        return refuse(QStringLiteral("Another import is running from the program folder %1. "
                                     "Wait until it has finished, then import again.")
                          .arg(native(mSession.programDir())));

    ImportLog log;
    QString state = mSession.settings.state;
    bool touched = false;  // the load has begun: the report is the new one's
    bool diskFull = false; // told once, at the end, with what is on the disk
    QString failure;       // the engine's or the reader's word, shown at the end
    auto fail = [&](const QString& obs, const std::exception_ptr& error) {
        mView.setLabel(1, kFailed);
        result.outcome = ImportOutcome::Failed;
        try {
            if (isDiskFull(error)) {
                if (!diskFull)
                    log.add(entry(obs, QStringLiteral("The disk is full.")));
                diskFull = true;
            } else {
                // A refused statement: the entry has only the obs, the engine says why.
                failure = describe(error);
                log.add(entry(obs, QString()));
            }
        } catch (const std::runtime_error&) {
            // The error list itself cannot be kept; the message still tells why.
        }
    };

    try {
        const QString refusal = preflight(*db, path);
        if (!refusal.isEmpty())
            return refuse(refusal);
    } catch (const DbError& e) {
        return refuse(e.message());
    }

    mCancelRequested = false;
    try {
        const CheckContext context(loadStates(*db), mSession.settings.period,
                                   mSession.settings.periodEnd);
        // Long statements (emptying a big master, building its indexes, the steps after the
        // load) keep the window painting.
        StatementYield yield(*db, mView);
        // Pages past this spill to the file: memory stays bounded in the one transaction, well
        // inside what a desktop can spare.
        db->exec("PRAGMA cache_size = -32768");

        ProducerSetup setup;
        setup.expectedColumns = kExtractColumns;
        // Groups exist for population type 1 only.
        setup.grouped = mSession.settings.popType == QLatin1String("1");
        setup.seed = options.seed;
        setup.state = state;
        setup.summaryMemoryRecords = options.summaryMemoryRecords;
        MasterLoader loader(*db, *reader, context, setup);

        auto showProgress = [&] {
            mView.setLabel(2, QStringLiteral("Record - %1                Errors -  %2")
                                  .arg(loader.records())
                                  .arg(log.errorCount));
            mView.setProgress(loader.bytesRead(), reader->fileSize());
            mView.refresh();
        };

        // A wrong file is refused before the master is touched.
        const MasterLoader::FirstLine first = loader.awaitFirstLine(showProgress);
        if (first != MasterLoader::FirstLine::Record || mCancelRequested) {
            loader.stopReading();
            mCancelRequested = true;
            const QString unchanged =
                QStringLiteral("\nNothing was changed: the master table, the sample and the "
                               "error report are as they were.");
            switch (first) {
            case MasterLoader::FirstLine::Record:
                mView.setLabel(1, QString());
                mView.setLabel(2, QStringLiteral("Process has been aborted."));
                result.outcome = ImportOutcome::Cancelled;
                return result;
            case MasterLoader::FirstLine::NoRecords:
                return refuse(QStringLiteral("The file %1 holds no records.").arg(native(path)) +
                              unchanged);
            case MasterLoader::FirstLine::NotText:
                return refuse(QStringLiteral("The file %1 is not a text file of participant "
                                             "records.")
                                  .arg(native(path)) +
                              unchanged);
            case MasterLoader::FirstLine::Stops: {
                const QStringList entries = loader.firstLineEntries();
                result.records = 1;
                result.errorCount = entries.size();
                return refuse(entries.join(QLatin1Char('\n')).trimmed() + unchanged);
            }
            case MasterLoader::FirstLine::Unread:
                return refuse(describe(loader.error()) + unchanged);
            }
        }

        // The start is committed on its own, so that a kill is told at the next open; all the
        // rest is one transaction, which a failure, a Cancel or a kill undoes whole.
        importJournal::begin(*db, path);
        touched = true;
        if (QFileInfo::exists(reportPath) && !QFile::remove(reportPath))
            throw DbError(QStringLiteral("Cannot delete '%1'.").arg(reportPath));
        const SessionState before = SessionState::of(mSession);
        {
            Transaction whole(*db, Transaction::Kind::Immediate);
            try {
                loader.prepareMaster();
                MasterLoader::Hooks hooks;
                hooks.cancelled = [this] { return mCancelRequested; };
                hooks.progress = showProgress;
                const MasterLoader::End end = loader.load(log, hooks);
                loader.stopReading();
                state = loader.producer().state();
                result.records = loader.records();
                result.inserted = loader.inserted();
                showProgress();
                switch (end) {
                case MasterLoader::End::EndOfFile:
                    loader.restoreIndexes();
                    mSession.settings.state = state;
                    result.importedCount = runPostImport(
                        mSession, mView, log, options.seed, true,
                        loader.summaryUsable() ? &loader.producer().summary() : nullptr);
                    importJournal::finish(*db, QStringLiteral("completed"));
                    whole.commit();
                    result.outcome = ImportOutcome::Completed;
                    break;
                case MasterLoader::End::Cancelled:
                    result.outcome = ImportOutcome::Cancelled;
                    break;
                case MasterLoader::End::Stopped:
                    mView.setLabel(1, kFailed);
                    result.outcome = ImportOutcome::Failed;
                    result.stopReason = log.entries.isEmpty() ? QString() : log.entries.last();
                    break;
                case MasterLoader::End::ReadFailed:
                    mView.setLabel(1, kFailed);
                    result.outcome = ImportOutcome::Failed;
                    failure = describe(loader.error());
                    break;
                case MasterLoader::End::Refused:
                    fail(loader.failedObs(), loader.error());
                    break;
                }
            } catch (...) {
                // Past the last record there is no current obs.
                fail(QString(), std::current_exception());
            }
            // Leaving the scope uncommitted rolls the whole import back.
        }
        if (result.outcome != ImportOutcome::Completed) {
            before.restore(mSession);
            result.inserted = 0;
            result.importedCount = 0;
            if (result.outcome == ImportOutcome::Cancelled) {
                mView.setLabel(1, QString());
                mView.setLabel(2, QStringLiteral("Process has been aborted."));
            }
            finishUndone(*db, result.outcome);
        }
    } catch (...) {
        // Past the last record there is no current obs.
        fail(QString(), std::current_exception());
    }

    if (diskFull) {
        result.diskFull = true;
        failure = QStringLiteral("The disk is full: there is no room left in %1. Nothing was "
                                 "changed. Free some space there and import the extract again.")
                      .arg(native(QFileInfo(db->path()).absolutePath()));
    }
    if (!failure.isEmpty()) {
        result.stopReason = failure;
        ui.message(failure, Icon::Exclamation);
    }

    result.errorCount = log.errorCount;
    // An import that changed nothing leaves the report of the one before it.
    if (log.errorCount != 0 && touched) {
        try {
            writeErrorReport(reportPath, path, log);
            result.reportWritten = true;
        } catch (const DbError& e) {
            // A full disk has been reported already.
            if (!diskFull)
                ui.message(e.message(), Icon::Exclamation);
        }
        mView.setLabel(
            2, QStringLiteral("Number of Records Imported: %1\nNumber of Errors/Warnings: %2")
                   .arg(result.importedCount)
                   .arg(log.errorCount));
        mView.setLabel(3, QStringLiteral("There were errors/warnings in the import File.\nPlease "
                                         "review file %1.")
                              .arg(reportPath));
        if (result.reportWritten)
            showImportErrorFile(mSession);
    }
    mCancelRequested = true;
    return result;
}

} // namespace orv
