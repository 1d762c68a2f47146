#include "import/MasterLoader.h"

#include "db/Database.h"
#include "import/ImportRun.h"

#include <QElapsedTimer>

#include <algorithm>
#include <array>
#include <bit>
#include <optional>
#include <thread>

namespace orv {

namespace {

// How often the window gets a turn while reading: responsive, yet cheap per record.
constexpr int kYieldMs = 40;

int masterColumnCount(Database& db) {
    Statement st = db.prepare("SELECT * FROM tblORVmaster LIMIT 0");
    return st.columnCount();
}

IndexList masterIndexes(Database& db) {
    IndexList indexes;
    Statement st = db.prepare("SELECT name, sql FROM sqlite_master WHERE type = 'index' AND "
                              "tbl_name = 'tblORVmaster' COLLATE NOCASE AND sql IS NOT NULL");
    while (st.step())
        indexes.emplace_back(st.text(0), st.text(1));
    return indexes;
}

// Each index build reads the whole master and sorts its keys. Sorted in small runs, each by a
// worker thread while this one reads on, the builds take a third less time for the same work.
class IndexBuilds {
public:
    explicit IndexBuilds(Database& db) : mDb(db), mCache(db.scalar("PRAGMA cache_size")) {
        const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
        mDb.exec("PRAGMA threads = " + std::to_string(std::min(cores - 1, 4u)));
        mDb.exec("PRAGMA cache_size = -2048");
    }
    ~IndexBuilds() {
        try {
            mDb.exec("PRAGMA threads = 0");
            mDb.exec("PRAGMA cache_size = " + std::to_string(mCache.toLongLong()));
        } catch (const DbError&) {
        }
    }
    IndexBuilds(const IndexBuilds&) = delete;
    IndexBuilds& operator=(const IndexBuilds&) = delete;

private:
    Database& mDb;
    QVariant mCache;
};

} // namespace

bool isDiskFull(const DbError& error) {
    return isDiskFullCode(error.code());
}

// Binds one encoded record to the positional insert.
class MasterLoader::Insert {
public:
    explicit Insert(Database& db) {
        const int columns = masterColumnCount(db);
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
            if (*v == last && v->type != EncodedValue::Type::Text)
                continue;
            switch (v->type) {
            case EncodedValue::Type::Null:
                mStmt.bindNull(pos);
                break;
            case EncodedValue::Type::Int:
                mStmt.bind(pos, v->integer());
                break;
            case EncodedValue::Type::Real:
                mStmt.bind(pos, v->real());
                break;
            case EncodedValue::Type::Text:
                mStmt.bindStatic(pos, batch.textOf(v->offset(), v->size()));
                break;
            }
            last = *v;
        }
        try {
            mStmt.run();
        } catch (const DbError&) {
            // Bound again from scratch: the statement's values may be gone with the batch.
            mStmt.reset();
            mBound.fill(textMarker());
            throw;
        }
        mStmt.rewind();
    }

private:
    static EncodedValue textMarker() {
        EncodedValue e;
        e.type = EncodedValue::Type::Text;
        return e;
    }
    Statement mStmt;
    // What each parameter holds; Text at first, so that every parameter is bound once.
    std::array<EncodedValue, kMasterValues> mBound = [] {
        std::array<EncodedValue, kMasterValues> all{};
        all.fill(textMarker());
        return all;
    }();
};

// Joins the reading thread however the load ends.
class MasterLoader::ReadingThread {
public:
    ReadingThread(LoadProducer& producer, LoadQueue& queue)
        : mQueue(queue), mThread([&producer] { producer.run(); }) {}
    ~ReadingThread() { join(); }
    void join() {
        if (mThread.joinable()) {
            mQueue.stop();
            mThread.join();
        }
    }
    ReadingThread(const ReadingThread&) = delete;
    ReadingThread& operator=(const ReadingThread&) = delete;

private:
    LoadQueue& mQueue;
    std::thread mThread;
};

MasterLoader::MasterLoader(Database& db, ExtractReader& reader, const CheckContext& context,
                           const ProducerSetup& setup)
    : mDb(db), mProducer(reader, context, setup, mQueue),
      mThread(std::make_unique<ReadingThread>(mProducer, mQueue)) {}

MasterLoader::~MasterLoader() = default;

std::unique_ptr<LoadBatch> MasterLoader::nextBatch(bool& timedOut) {
    timedOut = false;
    if (mFirst)
        return std::move(mFirst);
    return mQueue.pop(kYieldMs, timedOut);
}

MasterLoader::FirstLine MasterLoader::awaitFirstLine(const std::function<void()>& idle) {
    bool timedOut = true;
    std::unique_ptr<LoadBatch> batch;
    while (!batch && timedOut) {
        batch = nextBatch(timedOut);
        if (!batch && timedOut && idle)
            idle();
    }
    if (!batch)
        return FirstLine::NoRecords;
    const LoadItem::Kind kind = batch->items.front().kind;
    if (kind == LoadItem::Kind::Fail)
        mError = batch->error;
    mFirst = std::move(batch);
    switch (kind) {
    case LoadItem::Kind::NotText:
        return FirstLine::NotText;
    case LoadItem::Kind::Stop:
        return FirstLine::Stops;
    case LoadItem::Kind::Fail:
        return FirstLine::Unread;
    default:
        return FirstLine::Record;
    }
}

QStringList MasterLoader::firstLineEntries() const {
    if (!mFirst || mFirst->items.empty())
        return {};
    const LoadItem& item = mFirst->items.front();
    return mFirst->entries.mid(qsizetype(item.firstEntry), qsizetype(item.entryCount));
}

void MasterLoader::prepareMaster() {
    mIndexes = masterIndexes(mDb);
    mDb.exec("DELETE FROM tblORVmaster");
    // A database made before the duplicates were kept gets their table here.
    mDb.exec("CREATE TABLE IF NOT EXISTS tblDuplicateRecords (rid INTEGER PRIMARY KEY)");
    mDb.exec("DELETE FROM tblDuplicateRecords");
    // Building an index from the loaded rows is far cheaper than keeping it row by row.
    for (const auto& [name, sql] : mIndexes) {
        if (mDb.scalar("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?1", {name})
                .isValid())
            mDb.exec(("DROP INDEX " + quoteIdentifier(name)).toStdString());
    }
}

MasterLoader::End MasterLoader::load(ImportLog& log, const Hooks& hooks) {
    Insert insert(mDb);
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    auto progress = [&] {
        if (hooks.progress)
            hooks.progress();
        sinceProgress.restart();
    };
    auto cancelled = [&] { return hooks.cancelled && hooks.cancelled(); };
    auto addEntries = [&](const LoadBatch& batch, const LoadItem& item) {
        for (std::uint32_t i = 0; i < item.entryCount; ++i)
            log.add(batch.entries[qsizetype(item.firstEntry + i)]);
    };

    End end = End::EndOfFile;
    try {
        while (end == End::EndOfFile && !cancelled()) {
            bool timedOut = false;
            std::unique_ptr<LoadBatch> batch = nextBatch(timedOut);
            if (!batch) {
                if (!timedOut)
                    break; // the end of the file
                progress();
                continue;
            }
            for (const LoadItem& item : batch->items) {
                if (item.kind == LoadItem::Kind::Fail) {
                    // Reading failed after the last record.
                    addEntries(*batch, item);
                    mError = batch->error;
                    end = End::ReadFailed;
                    break;
                }
                if (mRecords == 1 || ((mRecords & 63) == 0 && sinceProgress.elapsed() >= kYieldMs))
                    progress();
                if (cancelled()) {
                    end = End::Cancelled;
                    break;
                }
                ++mRecords;
                addEntries(*batch, item);
                if (item.kind == LoadItem::Kind::Stop) {
                    end = End::Stopped;
                    break;
                }
                if (item.kind != LoadItem::Kind::Insert)
                    continue;
                try {
                    insert.run(*batch, item);
                } catch (const DbError&) {
                    mFailedObs = batch->obsText(item);
                    throw;
                }
                ++mInserted;
                // The summary counts row ids from 1; anything else and it is not used.
                if (mDb.lastInsertRowId() != mInserted)
                    mRowIdsFollow = false;
            }
            mBytesRead = batch->bytesRead;
            // Every text the statement holds is bound afresh before the next row: the batch's
            // memory may be filled again.
            mQueue.recycle(std::move(batch));
        }
        if (end == End::EndOfFile && cancelled())
            end = End::Cancelled;
    } catch (...) {
        // A refused insert; or the error list could not be kept.
        mError = std::current_exception();
        end = End::Refused;
    }
    return end;
}

void MasterLoader::stopReading() {
    mThread->join();
}

void MasterLoader::restoreIndexes() {
    const IndexBuilds builds(mDb);
    for (const auto& [name, sql] : mIndexes) {
        if (!mDb.scalar("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?1", {name})
                 .isValid())
            mDb.exec(sql.toStdString());
    }
}

bool MasterLoader::summaryUsable() {
    return mRowIdsFollow;
}

} // namespace orv
