#pragma once

#include "import/ImportRun.h"
#include "import/LoadSummary.h"

#include <QDateTime>
#include <QString>

namespace orv {

class Session;

struct ImportOptions {
    // Seeds randno and the sample draw; the same seed on the same file gives the same sample.
    quint32 seed = 0;
    // The steps after the load work from what the import learnt while inserting (about 50 bytes
    // a record). Up to this many records of it stay in memory; past that it goes to scratch
    // files in sorted runs, so memory stays bounded whatever the size of the file.
    qint64 summaryMemoryRecords = LoadSummary::kMemoryRecords;
};

enum class ImportOutcome {
    Declined,  // the reload question was answered No: nothing changed
    Completed, // every line read and the post-import steps done
    Failed,    // stopped by a failure: the database is as it was
    Cancelled, // stopped at the user's request: the database is as it was
};

struct [[nodiscard]] ImportResult {
    ImportOutcome outcome = ImportOutcome::Declined;
    qint64 records = 0;       // lines read
    qint64 inserted = 0;      // records the import put in the master (0 unless completed)
    qint64 importedCount = 0; // records with an outcome group
    qint64 errorCount = 0;
    bool reportWritten = false;
    bool diskFull = false;
    // Why a failed import stopped: the stopping entry, or the message the user was shown.
    QString stopReason;
};

// Replaces the master table with the records of one extract file, collecting every error and
// warning into the error report, then runs the post-import steps.
class ImportDriver {
public:
    ImportDriver(Session& session, ImportView& view);

    ImportResult importExtractFile(const QString& path, const ImportOptions& options = {});

    // Asks the running import to stop after the current record.
    void requestCancel() { mCancelRequested = true; }
    // True when no import runs or a stop was asked for.
    bool cancelRequested() const { return mCancelRequested; }

private:
    class Run;
    Session& mSession;
    ImportView& mView;
    bool mCancelRequested = true;
};

// Free space an import of an extract of `extractBytes` into a database of `databaseBytes` needs
// beside the database, at the most.
qint64 importSpaceNeeded(qint64 extractBytes, qint64 databaseBytes);

// The error report of the latest import, in the program's folder.
QString errorReportPath(const Session& session);
// Opens the latest error report for the user, or says there is none.
void showImportErrorFile(Session& session);

} // namespace orv
