#pragma once

#include <QVariant>
#include <QtGlobal>

#include <functional>
#include <vector>

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

// What the draw reads of one record an import just loaded.
struct SampleRecord {
    qint64 rowid = 0;
    int weight = 0;
    int randno = 0;
    int unit = 0;         // index into SamplePopulation::units
    bool grouped = false; // spopnum is not 0
};

// The master as the draw sees it. Records without a sampling unit count as unit 999999.
struct SamplePopulation {
    std::vector<QVariant> units; // distinct sampling units in ascending order
    // Visits every record in row id order; may be called more than once.
    std::function<void(const std::function<void(const SampleRecord&)>&)> forEachRecord;
    // How many records the draw may sort in memory at once; more go through scratch files.
    size_t memoryRecords = 1000000;
};

// Draws the two-stage weighted sample into tblsample (replacing it), using tbltemp and the
// 'U'/'V' rows of tblsupport, and logs the draw in tblSampleLog. The same seed on the same
// master gives the same sample. Records without a sampling unit are drawn as one unit, 999999,
// which their sample rows carry. `population` is the master as an import just loaded it; when
// not given, the draw reads the master as it goes. A failed draw throws DbError and changes
// nothing.
void BuildSample(Session& session, quint32 seed, const SamplePopulation* population = nullptr);

} // namespace orv
