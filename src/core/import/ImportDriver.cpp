#include "import/ImportDriver.h"

#include "db/Database.h"
#include "db/Session.h"
#include "import/ExtractReader.h"
#include "import/FieldChecks.h"
#include "import/ImportErrors.h"
#include "import/LoadPipeline.h"
#include "import/PostImport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sqlite3.h>

#include <array>
#include <bit>
#include <thread>
#include <vector>

namespace orv {

namespace {

const QString kReloadQuestion = QStringLiteral(
    "This process will reload the Master Validation Table.\nPress Yes to continue / No to stop");
// Rows per transaction: few enough syncs to stay fast, and a stop keeps every row before it.
constexpr int kBatchRows = 50000;
// How often the window gets a turn while reading: responsive, yet cheap per record.
constexpr qint64 kYieldMs = 40;

QString entry(const QString& obs, const QString& message) {
    return QStringLiteral("Error with OBS code - ") + obs + QStringLiteral(". ") + message;
}

// The master's indexes are dropped during the load and built again afterwards: building an
// index from sorted rows is far cheaper than maintaining it row by row.
class DeferredIndexes {
public:
    explicit DeferredIndexes(Database& db) : mDb(db) {
        Statement st = db.prepare("SELECT name, sql FROM sqlite_master WHERE type = 'index' AND "
                                  "tbl_name = 'tblORVmaster' COLLATE NOCASE AND sql IS NOT NULL");
        while (st.step())
            mIndexes.push_back({st.text(0), st.text(1)});
        Transaction tx(db);
        for (const auto& [name, sql] : mIndexes)
            db.exec(QStringLiteral("DROP INDEX \"%1\"").arg(name).toStdString());
        tx.commit();
    }
    ~DeferredIndexes() {
        try {
            restore();
        } catch (const DbError&) {
        }
    }
    // Tried again on destruction when it failed (a full disk, say), so that the master does
    // not stay without its indexes.
    void restore() {
        if (mRestored)
            return;
        Transaction tx(mDb);
        for (const auto& [name, sql] : mIndexes)
            mDb.exec(sql.toStdString());
        tx.commit();
        mRestored = true;
    }
    DeferredIndexes(const DeferredIndexes&) = delete;
    DeferredIndexes& operator=(const DeferredIndexes&) = delete;

private:
    Database& mDb;
    std::vector<std::pair<QString, QString>> mIndexes;
    bool mRestored = false;
};

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

int masterColumnCount(Database& db) {
    Statement st = db.prepare("SELECT * FROM tblORVmaster LIMIT 0");
    return st.columnCount();
}

void writeErrorReport(const QString& path, const QString& extract, const ImportLog& log) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw DbError(QStringLiteral("Cannot write '%1': %2").arg(path, file.errorString()));
    file.write(
        QStringLiteral("errors in file: %1 on %2\r\n\r\n\r\n\r\n")
            .arg(QFileInfo(extract).absoluteFilePath(), generalDate(QDateTime::currentDateTime()))
            .toUtf8());
    try {
        log.writeTo(file);
    } catch (const std::runtime_error& e) {
        file.cancelWriting();
        throw DbError(QString::fromStdString(e.what()));
    }
    if (!file.commit())
        throw DbError(QStringLiteral("Cannot write '%1': %2").arg(path, file.errorString()));
}

// Binds one encoded record to the positional insert.
class MasterInsert {
public:
    explicit MasterInsert(Database& db, int columns) {
        QString sql = QStringLiteral("INSERT INTO tblORVmaster VALUES (");
        for (int i = 1; i <= columns; ++i)
            sql += (i > 1 ? QStringLiteral(",?") : QStringLiteral("?")) + QString::number(i);
        sql += QLatin1Char(')');
        mStmt = db.prepare(sql.toStdString());
    }

    void run(const LoadBatch& batch, const LoadItem& item) {
        const EncodedValue* v = &batch.values[item.firstValue];
        for (int pos = 1; pos <= kMasterValues; ++pos, ++v) {
            // A binding stays until replaced: a Null or number equal to the last one need not
            // be bound again. Text is, as it points into the batch.
            EncodedValue& last = mBound[static_cast<size_t>(pos - 1)];
            if (v->type == last.type && v->type != EncodedValue::Type::Text &&
                v->integer == last.integer &&
                std::bit_cast<std::uint64_t>(v->real) == std::bit_cast<std::uint64_t>(last.real))
                continue;
            switch (v->type) {
            case EncodedValue::Type::Null:
                mStmt.bindNull(pos);
                break;
            case EncodedValue::Type::Int:
                mStmt.bind(pos, v->integer);
                break;
            case EncodedValue::Type::Real:
                mStmt.bind(pos, v->real);
                break;
            case EncodedValue::Type::Text:
                mStmt.bindStatic(pos, batch.textOf(v->offset, v->size));
                break;
            }
            last = *v;
        }
        mStmt.run();
        mStmt.rewind();
    }

private:
    Statement mStmt;
    // What each parameter holds; Text at first, so that every parameter is bound once.
    std::array<EncodedValue, kMasterValues> mBound = [] {
        std::array<EncodedValue, kMasterValues> all{};
        for (EncodedValue& e : all)
            e.type = EncodedValue::Type::Text;
        return all;
    }();
};

// Joins the reading thread however the load ends.
class ProducerThread {
public:
    ProducerThread(LoadProducer& producer, LoadQueue& queue)
        : mQueue(queue), mThread([&producer] { producer.run(); }) {}
    ~ProducerThread() { join(); }
    void join() {
        if (mThread.joinable()) {
            mQueue.stop();
            mThread.join();
        }
    }
    ProducerThread(const ProducerThread&) = delete;
    ProducerThread& operator=(const ProducerThread&) = delete;

private:
    LoadQueue& mQueue;
    std::thread mThread;
};

} // namespace

ImportDriver::ImportDriver(Session& session, ImportView& view) : mSession(session), mView(view) {}

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
    if (!ui.askYesNo(kReloadQuestion, Icon::Exclamation)) {
        mView.setLabel(1, QString());
        mView.setLabel(
            2,
            QStringLiteral("Record import cancelled at user's request. No records were imported"));
        return result;
    }

    ImportLog log;
    // The record being inserted, for the obs of an entry about it; none once the load is over.
    std::unique_ptr<LoadBatch> batch;
    const LoadItem* current = nullptr;
    bool failed = false;
    auto stop = [&](const QString& message) {
        log.add(entry(current ? batch->obsText(*current) : QString(), message));
        mView.setLabel(1, QStringLiteral("Import Failed!"));
        failed = true;
    };

    Database* db = nullptr;
    std::unique_ptr<ExtractReader> reader;
    try {
        db = &mSession.db();
        reader = std::make_unique<ExtractReader>(path);
    } catch (const std::exception& e) {
        // Nothing has changed yet: say why and leave the master and the old report alone.
        ui.message(QString::fromStdString(e.what()), Icon::Exclamation);
        mView.setLabel(1, QStringLiteral("Import Failed!"));
        result.outcome = ImportOutcome::Failed;
        return result;
    }

    const QString reportPath = errorReportPath(mSession);
    QString state = mSession.settings.state;
    try {
        const int masterColumns = masterColumnCount(*db);
        const int expected = masterColumns - 7;
        const CheckContext context(loadStates(*db), mSession.settings.period,
                                   mSession.settings.periodEnd);
        // Long statements (emptying a big master, building its indexes, the steps after the
        // load) keep the window painting.
        StatementYield yield(*db, mView);
        db->exec("DELETE FROM tblORVmaster");
        if (QFileInfo::exists(reportPath) && !QFile::remove(reportPath))
            throw DbError(QStringLiteral("Cannot delete '%1'.").arg(reportPath));

        // Groups exist for population type 1 only.
        const bool grouped = mSession.settings.popType == QLatin1String("1");
        mCancelRequested = false;
        // Room for the index builds' sorting; well inside the memory a desktop can spare.
        db->exec("PRAGMA cache_size = -32768");
        DeferredIndexes indexes(*db);
        MasterInsert insert(*db, masterColumns);

        // Reading and checking run on a thread of their own, ahead of the inserts.
        LoadQueue queue;
        ProducerSetup setup;
        setup.expectedColumns = expected;
        setup.grouped = grouped;
        setup.seed = options.seed;
        setup.state = state;
        setup.summaryLimit = options.summaryLimit;
        LoadProducer producer(*reader, context, setup, queue);
        ProducerThread thread(producer, queue);
        bool summaryValid = true;

        std::int64_t bytesRead = 0;
        QElapsedTimer sinceYield;
        sinceYield.start();
        auto showProgress = [&] {
            mView.setLabel(2, QStringLiteral("Record - %1                Errors -  %2")
                                  .arg(result.records)
                                  .arg(log.errorCount));
            mView.setProgress(bytesRead, reader->fileSize());
            mView.refresh();
            sinceYield.restart();
        };

        int inBatch = 0;
        db->exec("BEGIN");
        try {
            bool done = false;
            while (!done && !mCancelRequested) {
                bool timedOut = false;
                current = nullptr;
                batch = queue.pop(int(kYieldMs), timedOut);
                if (!batch) {
                    if (!timedOut)
                        break; // the end of the file
                    showProgress();
                    continue;
                }
                for (const LoadItem& item : batch->items) {
                    if (item.kind == LoadItem::Kind::Fail) {
                        // Reading failed after the last record.
                        for (std::uint32_t i = 0; i < item.entryCount; ++i)
                            log.add(batch->entries[qsizetype(item.firstEntry + i)]);
                        mView.setLabel(1, QStringLiteral("Import Failed!"));
                        failed = true;
                        ui.message(batch->message, Icon::Exclamation);
                        done = true;
                        break;
                    }
                    if (result.records == 1 ||
                        ((result.records & 63) == 0 && sinceYield.elapsed() >= kYieldMs))
                        showProgress();
                    if (mCancelRequested) {
                        done = true;
                        break;
                    }
                    ++result.records;
                    for (std::uint32_t i = 0; i < item.entryCount; ++i)
                        log.add(batch->entries[qsizetype(item.firstEntry + i)]);
                    if (item.kind == LoadItem::Kind::Stop) {
                        mView.setLabel(1, QStringLiteral("Import Failed!"));
                        failed = true;
                        done = true;
                        break;
                    }
                    if (item.kind != LoadItem::Kind::Insert)
                        continue;
                    current = &item;
                    insert.run(*batch, item);
                    ++result.inserted;
                    // The summary counts row ids from 1; anything else and it is not used.
                    if (db->lastInsertRowId() != result.inserted)
                        summaryValid = false;
                    if (++inBatch == kBatchRows) {
                        db->exec("COMMIT");
                        db->exec("BEGIN");
                        inBatch = 0;
                    }
                }
                bytesRead = batch->bytesRead;
            }
        } catch (const DbError& e) {
            // A refused insert: the entry has only the obs, the engine says why.
            stop(QString());
            ui.message(e.message(), Icon::Exclamation);
        } catch (const std::runtime_error& e) {
            // The error list itself could not be kept (a full disk).
            mView.setLabel(1, QStringLiteral("Import Failed!"));
            failed = true;
            ui.message(QString::fromStdString(e.what()), Icon::Exclamation);
        }
        thread.join();
        state = producer.state();
        // Past the last record there is no current obs.
        current = nullptr;
        db->exec("COMMIT");
        showProgress();
        mView.setLabel(2, QStringLiteral("Record - %1                Errors -  %2")
                              .arg(result.records)
                              .arg(log.errorCount));
        indexes.restore();
        reader.reset();

        if (failed || mCancelRequested) {
            // The records were grouped as they loaded; a load that did not finish leaves them
            // without groups, as if no group had been assigned.
            db->exec("UPDATE tblORVmaster SET subpop = '0', spopnum = 0, pop = '0' "
                     "WHERE spopnum <> 0");
        }
        if (failed) {
            result.outcome = ImportOutcome::Failed;
        } else if (mCancelRequested) {
            mView.setLabel(1, QString());
            mView.setLabel(2, QStringLiteral("Process has been aborted."));
            result.outcome = ImportOutcome::Cancelled;
        } else {
            mSession.settings.state = state;
            try {
                result.importedCount = runPostImport(
                    mSession, mView, log, options.seed, true,
                    summaryValid && !producer.summary().dropped() ? &producer.summary() : nullptr);
                result.outcome = ImportOutcome::Completed;
            } catch (const DbError& e) {
                stop(QString());
                ui.message(e.message(), Icon::Exclamation);
                result.outcome = ImportOutcome::Failed;
            }
        }
    } catch (const DbError& e) {
        // The master could not even be prepared for the load.
        stop(QString());
        ui.message(e.message(), Icon::Exclamation);
        result.outcome = ImportOutcome::Failed;
        try {
            // Keep what was inserted before the failure.
            if (db && sqlite3_get_autocommit(db->handle()) == 0)
                db->exec("COMMIT");
        } catch (const DbError&) {
        }
    }

    result.errorCount = log.errorCount;
    if (log.errorCount != 0) {
        try {
            writeErrorReport(reportPath, path, log);
            result.reportWritten = true;
        } catch (const DbError& e) {
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
