#include "import/ImportDriver.h"

#include "db/Database.h"
#include "db/Session.h"
#include "import/CrossChecks.h"
#include "import/ExtractReader.h"
#include "import/FieldChecks.h"
#include "import/ImportErrors.h"
#include "import/PostImport.h"
#include "import/RecordRules.h"
#include "validation/OutcomeGroups.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sqlite3.h>

#include <random>
#include <vector>

namespace orv {

namespace {

const QString kReloadQuestion = QStringLiteral(
    "This process will reload the Master Validation Table.\nPress Yes to continue / No to stop");
const QString kColumnCount =
    QStringLiteral(" there was an error reading a row from the input file. number of columns does "
                   "not match expected number of columns. ");
const QString kFormattedData = QStringLiteral(
    "There was an error reading a row from the input file due to incorrectly formatted data. "
    "Certain columns do not meet the requirements as specified in the record layout (e.g text "
    "values may be placed in fields which require numeric values).");

// Rows per transaction: few enough syncs to stay fast, and a stop keeps every row before it.
constexpr int kBatchRows = 50000;
// How often the window gets a turn while reading: responsive, yet cheap per record.
constexpr qint64 kYieldMs = 40;
constexpr int kRandMax = 99999999;

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

// Binds one record and the derived columns to the positional insert.
class MasterInsert {
public:
    explicit MasterInsert(Database& db, int columns) {
        QString sql = QStringLiteral("INSERT INTO tblORVmaster VALUES (");
        for (int i = 1; i <= columns; ++i)
            sql += (i > 1 ? QStringLiteral(",?") : QStringLiteral("?")) + QString::number(i);
        sql += QLatin1Char(')');
        mStmt = db.prepare(sql.toStdString());
    }

    // group 0 leaves the record without one, as the statement's zeros do.
    void run(const ExtractRecord& record, int weight, int group, int randno) {
        for (int pos = 1; pos <= kExtractColumns; ++pos)
            bindValue(pos, record.col(pos));
        int at = kExtractColumns;
        mStmt.bind(++at, weight);
        if (group == 0) {
            mStmt.bindStatic(++at, "0");
            mStmt.bind(++at, 0);
            mStmt.bindStatic(++at, "0");
        } else {
            mStmt.bindStatic(++at, kSubpops[group]);
            mStmt.bind(++at, group);
            mStmt.bindStatic(++at, "1");
        }
        mStmt.bind(++at, randno);
        bindDate(++at, record.col(41));
        bindDate(++at, record.col(43));
        mStmt.run();
        mStmt.reset();
    }

private:
    void bindValue(int pos, const FieldValue& v) {
        const ExtractColumn& column = extractColumn(pos);
        if (v.isBlank()) {
            mStmt.bindNull(pos);
        } else if (column.kind == ColumnKind::Number) {
            // Text here is numeric: a value that is not was refused before the insert.
            const double n = v.number;
            if (!column.real && n == static_cast<double>(static_cast<std::int64_t>(n)))
                mStmt.bind(pos, static_cast<std::int64_t>(n));
            else
                mStmt.bind(pos, n);
        } else if (v.isNumber()) {
            // A number read for a text column is stored in its number form (leading zeros go).
            mStmt.bindStatic(pos, formatNumber(v.number, mNumberText[pos - 1]));
        } else if (v.text.empty()) {
            mStmt.bindNull(pos); // an empty text is stored as Null
        } else {
            mStmt.bindStatic(pos, v.text);
        }
    }
    void bindDate(int at, const FieldValue& v) {
        const YmdKey key = v.isBlank() ? 0 : ParseYmdKey(v);
        if (key == 0) {
            mStmt.bindNull(at);
            return;
        }
        char* out = mDates[at & 1].data();
        std::snprintf(out, 11, "%04d-%02d-%02d", key / 10000, key / 100 % 100, key % 100);
        mStmt.bindStatic(at, std::string_view(out, 10));
    }

    static constexpr std::array<const char*, 26> kSubpops = {
        "",     "1.1",  "1.2",  "1.3",  "1.4",  "1.5",  "1.6",  "1.7",  "1.8",
        "1.9",  "1.10", "1.11", "1.12", "1.13", "1.14", "1.15", "1.16", "1.17",
        "1.18", "1.19", "1.20", "1.21", "1.22", "1.23", "1.24", "1.25"};

    Statement mStmt;
    std::array<NumberText, kExtractColumns> mNumberText{};
    std::array<std::array<char, 11>, 2> mDates{};
};

OptNumber number(const FieldValue& v) {
    return v.isBlank() ? OptNumber() : OptNumber(v.number);
}

// The group AssignOutcomeGroups would give the record.
int groupOf(const ExtractRecord& r) {
    GroupInputs in;
    in.employmentStatus = number(r.col(14));
    in.otherReasonForExit = number(r.col(44));
    constexpr int kColumns[3][3] = {{45, 46, 55}, {48, 49, 56}, {50, 51, 57}};
    for (int q = 0; q < 3; ++q) {
        in.employed[q] = number(r.col(kColumns[q][0]));
        in.type[q] = number(r.col(kColumns[q][1]));
        in.wages[q] = number(r.col(kColumns[q][2]));
    }
    return outcomeGroupOf(in);
}

// randno joins the master to the sample, so no value may repeat within one import.
class RandnoDraw {
public:
    explicit RandnoDraw(quint32 seed) : mGen(seed), mUsed(kRandMax + 1, false) {}
    int draw() {
        for (;;) {
            const double r = mUniform(mGen);
            const int n = static_cast<int>(r * kRandMax + 1);
            if (n >= 1 && n <= kRandMax && !mUsed[n])
                return n;
        }
    }
    void take(int n) { mUsed[n] = true; }

private:
    std::mt19937 mGen;
    std::uniform_real_distribution<double> mUniform{0.0, 1.0};
    std::vector<bool> mUsed;
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
    // The obs of the entries: the line's first comma-field, then column 1 once read. Built as
    // text only when an entry needs it.
    std::string_view obsField;
    const FieldValue* obsValue = nullptr;
    ExtractRecord record;
    auto obs = [&] { return obsValue ? valueText(*obsValue) : QString::fromUtf8(obsField); };
    bool failed = false;
    auto stop = [&](const QString& message) {
        log.add(entry(obs(), message));
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
    RandnoDraw randno(options.seed);
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
        db->exec("PRAGMA cache_size = -65536");
        DeferredIndexes indexes(*db);
        MasterInsert insert(*db, masterColumns);
        bool recordFailed = false;
        const ErrorSink onError = [&](const QString& message) {
            log.add(entry(obs(), message));
            recordFailed = true;
        };
        QElapsedTimer sinceYield;
        sinceYield.start();
        auto showProgress = [&] {
            mView.setLabel(2, QStringLiteral("Record - %1                Errors -  %2")
                                  .arg(result.records)
                                  .arg(log.errorCount));
            mView.setProgress(reader->bytesRead(), reader->fileSize());
            mView.refresh();
            sinceYield.restart();
        };

        int inBatch = 0;
        db->exec("BEGIN");
        try {
            while (!mCancelRequested && reader->next()) {
                if (result.records == 1 ||
                    ((result.records & 63) == 0 && sinceYield.elapsed() >= kYieldMs))
                    showProgress();
                ++result.records;
                obsField = GetDelimitedField(reader->line(), ',', 1);
                obsValue = nullptr;
                if (reader->columnCount() != expected || !reader->readRecord(record)) {
                    stop(kColumnCount);
                    break;
                }
                if (!record.col(1).isBlank())
                    obsValue = &record.col(1);
                const int drawn = randno.draw();
                recordFailed = false;
                try {
                    runFieldChecks(record, context, onError, state);
                    // The weight is part of the statement whether or not the record is clean,
                    // so a wage that is no number stops the import here.
                    const int weight = ComputeRecordWeight(record);
                    if (!recordFailed) {
                        const CrossCheckResult cross = CrossCheckRecord(record, context);
                        for (const QString& m : cross.messages)
                            log.add(m);
                        recordFailed = cross.hasErrors();
                    }
                    if (!recordFailed) {
                        if (hasTypeMismatch(record))
                            throw TypeMismatch(firstTypeMismatch(record));
                        insert.run(record, weight, grouped ? groupOf(record) : 0, drawn);
                        randno.take(drawn);
                        ++result.inserted;
                        if (++inBatch == kBatchRows) {
                            db->exec("COMMIT");
                            db->exec("BEGIN");
                            inBatch = 0;
                        }
                    }
                } catch (const TypeMismatch&) {
                    stop(kFormattedData);
                    break;
                }
            }
        } catch (const DbError& e) {
            // A refused insert: the entry has only the obs, the engine says why.
            stop(QString());
            ui.message(e.message(), Icon::Exclamation);
        } catch (const ImportFileError& e) {
            stop(QString());
            ui.message(e.message(), Icon::Exclamation);
        } catch (const std::runtime_error& e) {
            // The error list itself could not be kept (a full disk).
            mView.setLabel(1, QStringLiteral("Import Failed!"));
            failed = true;
            ui.message(QString::fromStdString(e.what()), Icon::Exclamation);
        }
        // Past the last record there is no current obs.
        obsField = {};
        obsValue = nullptr;
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
                result.importedCount = runPostImport(mSession, mView, log, options.seed, true);
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
