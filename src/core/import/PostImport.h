#pragma once

#include "import/ImportRun.h"

#include "validation/OutcomeGroups.h"

#include <QtGlobal>

#include <optional>

namespace orv {

class LoadSummary;
class Session;

// Turns a freshly loaded master into a validation run: outcome groups, the unassigned and
// duplicate records reported (duplicates lose their group), record weights, the sample drawn
// with `seed`, blocked values cleared, the 'S' support rows rebuilt, the state stored and the
// sign-in filters reset. Returns the number of records with a group. A failing statement
// throws DbError: the remaining steps are skipped and what the steps did is rolled back.
// `groupedAtLoad`: the import already gave every record its group (by outcomeGroupOf), so
// that whole-table pass is skipped. `loaded`: what the import learnt of the records as it
// inserted them; the steps then need no whole-table pass at all. Without it every step reads
// the master.
qint64 runPostImport(Session& session, ImportView& view, ImportLog& log, quint32 seed,
                     bool groupedAtLoad = false, LoadSummary* loaded = nullptr);

} // namespace orv
