#pragma once

#include "import/LoadPipeline.h"
#include "session/ImportJournal.h"

#include <QStringList>

#include <exception>
#include <functional>
#include <memory>

namespace orv {

class Database;
class DbError;
class ImportLog;

// A write the engine refused because the disk holding the database is full.
bool isDiskFull(const DbError& error);

// Reads the extract on a thread of its own and inserts its clean records into the master, with
// the master's indexes dropped for the load and built again at its end. Everything it writes
// goes into the caller's transaction: nothing is committed here. Nothing changes until
// prepareMaster().
class MasterLoader {
public:
    // Starts reading at once, so that the first line is judged before the master is touched.
    MasterLoader(Database& db, ExtractReader& reader, const CheckContext& context,
                 const ProducerSetup& setup);
    ~MasterLoader();
    MasterLoader(const MasterLoader&) = delete;
    MasterLoader& operator=(const MasterLoader&) = delete;

    enum class FirstLine {
        Record,    // a record, clean or not: the load can go on
        NoRecords, // the file holds no line
        NotText,   // the first line holds control characters: no text file
        Stops,     // the first line stops the import (firstLineEntries() say why)
        Unread,    // the file could not be read (error() says why)
    };
    // Waits for the reading thread's word on the first line, calling `idle` while it waits.
    FirstLine awaitFirstLine(const std::function<void()>& idle);
    QStringList firstLineEntries() const;

    // Empties the master and drops its indexes, in the caller's transaction.
    void prepareMaster();

    enum class End {
        EndOfFile,  // every line read
        Cancelled,  // a stop was asked for
        Stopped,    // a line stopped the import; its entries say why
        ReadFailed, // the file could not be read further: error() says why
        Refused,    // the database refused an insert or a commit, or the entries could not
                    // be kept: error() says why
    };
    struct Hooks {
        std::function<bool()> cancelled;
        std::function<void()> progress; // every so often, and while waiting for the file
    };
    // Loads until the end of the file, a stop, a Cancel or a failure; the entries of the lines
    // go to `log`. Unless it ends at the end of the file, the caller rolls back.
    End load(ImportLog& log, const Hooks& hooks);

    // Ends the reading thread (the producer's results are then final).
    void stopReading();
    // Builds the dropped indexes again.
    void restoreIndexes();

    qint64 records() const { return mRecords; }
    qint64 inserted() const { return mInserted; }
    std::int64_t bytesRead() const { return mBytesRead; }
    // The obs of the record whose insert failed.
    QString failedObs() const { return mFailedObs; }
    std::exception_ptr error() const { return mError; }
    // What the reading side learnt can stand in for reading the master.
    bool summaryUsable();
    LoadProducer& producer() { return mProducer; }

private:
    class Insert;
    class ReadingThread;

    // The next batch, the one judged first included; null at the end of the file or when none
    // came in time (`timedOut`).
    std::unique_ptr<LoadBatch> nextBatch(bool& timedOut);

    Database& mDb;
    LoadQueue mQueue;
    LoadProducer mProducer;
    std::unique_ptr<ReadingThread> mThread;
    std::unique_ptr<LoadBatch> mFirst;
    bool mFirstTaken = false;
    IndexList mIndexes;
    qint64 mRecords = 0;
    qint64 mInserted = 0;
    std::int64_t mBytesRead = 0;
    bool mRowIdsFollow = true; // the summary's row ids are the master's
    QString mFailedObs;
    std::exception_ptr mError;
};

} // namespace orv
