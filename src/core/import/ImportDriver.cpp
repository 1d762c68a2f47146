#include "import/ImportDriver.h"

#include "db/Database.h"
#include "db/SafeFile.h"
#include "import/ExtractReader.h"
#include "import/MasterLoader.h"
#include "import/PostImport.h"
#include "rules/FieldChecks.h"
#include "rules/ImportErrors.h"
#include "rules/RecordLayout.h"
#include "rules/SignInRules.h"
#include "session/ImportJournal.h"
#include "session/Session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStorageInfo>

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

    static SessionState of(const Session& session) {
        return {session.settings(), session.recordFilter()};
    }
    void restore(Session& session) const {
        session.useSettings(settings);
        session.useRecordFilter(recordFilter);
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

// One import, phase by phase: the question, the checks that need no change, the first line,
// the load and the steps after it in one transaction, then what the user is told.
class ImportDriver::Run {
public:
    Run(ImportDriver& driver, const QString& path, const ImportOptions& options)
        : mDriver(driver), mSession(driver.mSession), mView(driver.mView), mPath(path),
          mOptions(options) {}

    ImportResult run() {
        if (!confirmReload())
            return mResult;
        if (!openAndCheck())
            return mResult;
        // A folder where no lock can be made takes no report either: only a held lock refuses.
        QLockFile folderLock(mSession.programFile(QStringLiteral("ImportError.lock")));
        folderLock.setStaleLockTime(0); // an import may run long; only a dead one's is stale
        if (!folderLock.tryLock(0) && folderLock.error() == QLockFile::LockFailedError) {
            refuse(QStringLiteral("Another import is running from the program folder %1. Wait "
                                  "until it has finished, then import again.")
                       .arg(native(mSession.programDir())));
            return mResult;
        }
        mDriver.mCancelRequested = false;
        try {
            loadFile();
        } catch (...) {
            // Past the last record there is no current obs.
            fail(QString(), std::current_exception());
        }
        tellFailure();
        writeReport();
        mDriver.mCancelRequested = true;
        return mResult;
    }

private:
    bool confirmReload() {
        if (mSession.ui().ask(QuestionId::ReloadMaster, kReloadQuestion, Icon::Exclamation))
            return true;
        mView.setLabel(1, QString());
        mView.setLabel(
            2,
            QStringLiteral("Record import cancelled at user's request. No records were imported"));
        return false;
    }

    // The database, the file and the room for the import; nothing changes yet.
    bool openAndCheck() {
        try {
            mDb = &mSession.db();
            mReader = std::make_unique<ExtractReader>(mPath);
            const QString refusal = preflight(*mDb, mPath);
            if (refusal.isEmpty())
                return true;
            refuse(refusal);
        } catch (const std::exception& e) {
            refuse(QString::fromStdString(e.what()));
        }
        return false;
    }

    // Nothing has changed: say why and leave the master, the sample and the report alone.
    void refuse(const QString& why) {
        mResult.stopReason = why;
        mSession.ui().message(why, Icon::Exclamation);
        mView.setLabel(1, kFailed);
        mResult.outcome = ImportOutcome::Failed;
    }

    void fail(const QString& obs, const std::exception_ptr& error) {
        mView.setLabel(1, kFailed);
        mResult.outcome = ImportOutcome::Failed;
        try {
            if (isDiskFull(error)) {
                if (!mDiskFull)
                    mLog.add(entry(obs, QStringLiteral("The disk is full.")));
                mDiskFull = true;
            } else {
                // A refused statement: the entry has only the obs, the engine says why.
                mFailure = describe(error);
                mLog.add(entry(obs, QString()));
            }
        } catch (const std::runtime_error&) {
            // The error list itself cannot be kept; the message still tells why.
        }
    }

    void showProgress(const MasterLoader& loader) {
        mView.setLabel(2, QStringLiteral("Record - %1                Errors -  %2")
                              .arg(loader.records())
                              .arg(mLog.errorCount));
        mView.setProgress(loader.bytesRead(), mReader->fileSize());
        mView.refresh();
    }

    void loadFile() {
        const CheckContext context(loadStates(*mDb), mSession.settings().period,
                                   mSession.settings().periodEnd);
        // Long statements (emptying a big master, building its indexes, the steps after the
        // load) keep the window painting.
        const StatementTicks painting(
            *mDb,
            [this] {
                mView.refresh();
                return true;
            },
            kYieldMs);
        // Pages past this spill to the file: memory stays bounded in the one transaction, well
        // inside what a desktop can spare.
        mDb->exec("PRAGMA cache_size = -32768");

        ProducerSetup setup;
        setup.expectedColumns = kExtractColumns;
        // Groups exist for population type 1 only.
        setup.grouped = mSession.settings().popType == QLatin1String("1");
        setup.seed = mOptions.seed;
        setup.state = mSession.settings().state;
        setup.summaryMemoryRecords = mOptions.summaryMemoryRecords;
        MasterLoader loader(*mDb, *mReader, context, setup);
        if (!acceptFirstLine(loader))
            return;

        // The start is committed on its own, so that a kill is told at the next open; all the
        // rest is one transaction, which a failure, a Cancel or a kill undoes whole.
        importJournal::begin(*mDb, mPath);
        mLoadBegun = true;
        const QString reportPath = errorReportPath(mSession);
        if (QFileInfo::exists(reportPath) && !QFile::remove(reportPath))
            throw DbError(QStringLiteral("Cannot delete '%1'.").arg(reportPath));
        const SessionState before = SessionState::of(mSession);
        loadInOneTransaction(loader);
        if (mResult.outcome != ImportOutcome::Completed)
            undone(before);
    }

    // A wrong file is refused, and a Cancel taken, before the master is touched.
    bool acceptFirstLine(MasterLoader& loader) {
        const MasterLoader::FirstLine first = loader.awaitFirstLine([&] { showProgress(loader); });
        if (first == MasterLoader::FirstLine::Record && !mDriver.mCancelRequested)
            return true;
        loader.stopReading();
        mDriver.mCancelRequested = true;
        const QString unchanged =
            QStringLiteral("\nNothing was changed: the master table, the sample and the error "
                           "report are as they were.");
        switch (first) {
        case MasterLoader::FirstLine::Record:
            mView.setLabel(1, QString());
            mView.setLabel(2, QStringLiteral("Process has been aborted."));
            mResult.outcome = ImportOutcome::Cancelled;
            break;
        case MasterLoader::FirstLine::NoRecords:
            refuse(QStringLiteral("The file %1 holds no records.").arg(native(mPath)) + unchanged);
            break;
        case MasterLoader::FirstLine::NotText:
            refuse(QStringLiteral("The file %1 is not a text file of participant records.")
                       .arg(native(mPath)) +
                   unchanged);
            break;
        case MasterLoader::FirstLine::Stops: {
            const QStringList entries = loader.firstLineEntries();
            mResult.records = 1;
            mResult.errorCount = entries.size();
            refuse(entries.join(QLatin1Char('\n')).trimmed() + unchanged);
            break;
        }
        case MasterLoader::FirstLine::Unread:
            refuse(describe(loader.error()) + unchanged);
            break;
        }
        return false;
    }

    void loadInOneTransaction(MasterLoader& loader) {
        // Leaving this scope uncommitted rolls the whole import back.
        Transaction whole(*mDb, Transaction::Kind::Immediate);
        try {
            loader.prepareMaster();
            MasterLoader::Hooks hooks;
            hooks.cancelled = [this] { return mDriver.mCancelRequested; };
            hooks.progress = [&] { showProgress(loader); };
            const MasterLoader::End end = loader.load(mLog, hooks);
            loader.stopReading();
            mResult.records = loader.records();
            mResult.inserted = loader.inserted();
            showProgress(loader);
            if (end == MasterLoader::End::EndOfFile) {
                finishImport(loader);
                whole.commit();
                mResult.outcome = ImportOutcome::Completed;
            } else {
                takeEnd(end, loader);
            }
        } catch (...) {
            fail(QString(), std::current_exception());
        }
    }

    // Every line read: the indexes back, the steps after the load, and the journal's word.
    void finishImport(MasterLoader& loader) {
        loader.restoreIndexes();
        Settings settings = mSession.settings();
        settings.state = loader.producer().state();
        mSession.useSettings(settings);
        mResult.importedCount =
            runPostImport(mSession, mView, mLog, mOptions.seed, true,
                          loader.summaryUsable() ? &loader.producer().summary() : nullptr);
        importJournal::finish(*mDb, QStringLiteral("completed"));
    }

    void takeEnd(MasterLoader::End end, const MasterLoader& loader) {
        switch (end) {
        case MasterLoader::End::EndOfFile:
            break;
        case MasterLoader::End::Cancelled:
            mResult.outcome = ImportOutcome::Cancelled;
            break;
        case MasterLoader::End::Stopped:
            mView.setLabel(1, kFailed);
            mResult.outcome = ImportOutcome::Failed;
            mResult.stopReason = mLog.entries.isEmpty() ? QString() : mLog.entries.last();
            break;
        case MasterLoader::End::ReadFailed:
            mView.setLabel(1, kFailed);
            mResult.outcome = ImportOutcome::Failed;
            mFailure = describe(loader.error());
            break;
        case MasterLoader::End::Refused:
            fail(loader.failedObs(), loader.error());
            break;
        }
    }

    // The transaction is rolled back: the session follows the database back.
    void undone(const SessionState& before) {
        before.restore(mSession);
        mResult.inserted = 0;
        mResult.importedCount = 0;
        if (mResult.outcome == ImportOutcome::Cancelled) {
            mView.setLabel(1, QString());
            mView.setLabel(2, QStringLiteral("Process has been aborted."));
        }
        finishUndone(*mDb, mResult.outcome);
    }

    void tellFailure() {
        if (mDiskFull) {
            mResult.diskFull = true;
            mFailure = QStringLiteral("The disk is full: there is no room left in %1. Nothing was "
                                      "changed. Free some space there and import the extract "
                                      "again.")
                           .arg(native(QFileInfo(mDb->path()).absolutePath()));
        }
        if (!mFailure.isEmpty()) {
            mResult.stopReason = mFailure;
            mSession.ui().message(mFailure, Icon::Exclamation);
        }
    }

    // An import that changed nothing leaves the report of the one before it.
    void writeReport() {
        mResult.errorCount = std::max<qint64>(mResult.errorCount, mLog.errorCount);
        if (mLog.errorCount == 0 || !mLoadBegun)
            return;
        const QString reportPath = errorReportPath(mSession);
        try {
            writeErrorReport(reportPath, mPath, mLog);
            mResult.reportWritten = true;
        } catch (const DbError& e) {
            // A full disk has been reported already.
            if (!mDiskFull)
                mSession.ui().message(e.message(), Icon::Exclamation);
        }
        mView.setLabel(2, QStringLiteral("Number of Records Imported: %1\nNumber of "
                                         "Errors/Warnings: %2")
                              .arg(mResult.importedCount)
                              .arg(mLog.errorCount));
        mView.setLabel(3, QStringLiteral("There were errors/warnings in the import File.\nPlease "
                                         "review file %1.")
                              .arg(reportPath));
        if (mResult.reportWritten)
            showImportErrorFile(mSession);
    }

    ImportDriver& mDriver;
    Session& mSession;
    ImportView& mView;
    const QString mPath;
    const ImportOptions mOptions;
    ImportResult mResult;
    ImportLog mLog;
    Database* mDb = nullptr;
    std::unique_ptr<ExtractReader> mReader;
    bool mLoadBegun = false; // the report is the new import's
    bool mDiskFull = false;  // told once, at the end
    QString mFailure;        // the engine's or the reader's word, shown at the end
};

ImportResult ImportDriver::importExtractFile(const QString& path, const ImportOptions& options) {
    return Run(*this, path, options).run();
}

} // namespace orv
