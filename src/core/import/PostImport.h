#pragma once

#include "import/ImportRun.h"

#include <QtGlobal>

namespace orv {

class Session;

// Turns a freshly loaded master into a validation run: outcome groups, the unassigned and
// duplicate records reported (duplicates lose their group), record weights, the sample drawn
// with `seed`, blocked values cleared, the 'S' support rows rebuilt, the state stored and the
// sign-in filters reset. Returns the number of records with a group. A failing statement
// throws DbError and the remaining steps are skipped; what was done stays.
// `groupedAtLoad`: the import already gave every record its group (by outcomeGroupOf), so
// that whole-table pass is skipped.
qint64 runPostImport(Session& session, ImportView& view, ImportLog& log, quint32 seed,
                     bool groupedAtLoad = false);

} // namespace orv
