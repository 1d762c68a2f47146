#pragma once
#include "session/FieldPack.h"

#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace orv {

class Database;

extern const QString kOtherRun;

// One worksheet item of a record both the pack and the main database changed since the pack
// was made, as the user reads it.
struct MergeItem {
    QString item; // "Vet", "Wrong SSN", "Comments"
    QString atPack;
    QString inMain;
    QString inPack;
};
struct MergeConflict {
    qint64 row = 0; // the sample row
    QString obs;
    QString ssn;
    std::vector<MergeItem> items;
};

// Which record wins where both changed it: the whole record, so that the marks, the flags and
// the completion stay those one validator left together.
enum class Prefer { Pack, Main };
struct MergeChoices {
    std::optional<Prefer> all;
    std::map<qint64, Prefer> records; // by sample row, before `all`
    std::optional<Prefer> choiceFor(qint64 row) const;
};

struct MergeResult {
    enum class Outcome { Merged, Conflicts, AlreadyMerged };
    Outcome outcome = Outcome::Merged;
    PackInfo pack;
    // Every conflict; with Merged, those the choices settled.
    std::vector<MergeConflict> conflicts;
    qint64 changedRecords = 0;
    QString mergedAt; // UTC; of the earlier merge with AlreadyMerged
    // "This pack was merged on 12/08/2026."
    QString alreadyMergedText() const;
};

// Brings what the validator saved in the pack (marks, flags, comments, completion) into the
// main database, in one transaction, with a history row for every item it changes. A conflict
// without a choice applies nothing: the result lists every conflict. A pack merged before
// changes nothing. Throws Error: a pack of another run (kOtherRun), or a database error (the
// database then unchanged).
MergeResult mergePack(Database& db, Database& pack, const MergeChoices& choices);

} // namespace orv
