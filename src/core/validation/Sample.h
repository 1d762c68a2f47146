#pragma once

#include <QtGlobal>

namespace orv {

class Session;

// How many sampling units to draw out of `units`.
qint64 GetUnitSampleSize(qint64 units);

// How many records to draw out of `grouped` records that have an outcome group; 0 for none.
qint64 sampleSizeFor(qint64 grouped);

// sampleSizeFor the master's grouped records; 0 when they cannot be counted.
qint64 GetSampleSize(Session& session);

// A seed for a draw that need not be repeated.
quint32 clockSeed();

// Draws the two-stage weighted sample into tblsample (replacing it), using tbltemp and the
// 'U'/'V' rows of tblsupport, and logs the draw in tblSampleLog. The same seed on the same
// master gives the same sample. Records without a sampling unit are not drawn: the caller
// gives them a placeholder unit first. A failed draw is shown to the user, leaves the sample
// empty and returns false.
bool BuildSample(Session& session, quint32 seed);

} // namespace orv
