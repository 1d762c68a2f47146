#pragma once

#include "validation/Sample.h"

#include <QVariant>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orv {

// One inserted record as the steps after the load read it: the values as stored.
struct LoadedRecord {
    qint64 rowid = 0;
    std::optional<double> samplingUnit;
    std::optional<std::string_view> caseMgr;
    std::optional<std::string_view> ssn;
    std::optional<double> exitDate;
    int weight = 0;           // as inserted
    std::optional<int> rules; // the weight the weight rules give, when one does
    int group = 0;
    int randno = 0;
};

// What the import learns of the records it inserts, so that the steps after the load need not
// read the whole master again (nor keep indexes for it).
class LoadSummary {
public:
    // Room for about `records` records, so that the lists need not grow by copying.
    void reserve(qint64 records);
    void add(const LoadedRecord& record);
    // The last record was added: works out the duplicate candidates.
    void finishLoad();
    // Forgets everything: past a size, memory matters more than speed.
    void drop();
    bool dropped() const { return mDropped; }
    qint64 size() const { return static_cast<qint64>(mRecords.size()); }

    qint64 grouped() const { return mGrouped; }
    qint64 ungrouped() const { return static_cast<qint64>(mRecords.size()) - mGrouped; }

    // The records whose SSN and exit date another record may share, by row id. Every
    // duplicate is among them; a few that are not may be too.
    const std::vector<qint64>& duplicateCandidates() const { return mCandidates; }
    // A record lost its group.
    void ungroup(qint64 rowid);

    // Records whose weight the rules change, with the new weight.
    const std::vector<std::pair<qint64, int>>& reweighted() const { return mReweighted; }

    // Distinct sampling unit and case manager pairs (as a DISTINCT over the master gives them,
    // ordered), or nothing when there were too many to keep.
    std::optional<std::vector<std::pair<QVariant, QVariant>>> unitRows() const;

    // The master as the draw reads it. Call once, after the load.
    SamplePopulation takePopulation();

private:
    // A unit and case manager pair: the unit's index into mUnitValues (kNoUnitRow for Null)
    // in the high half, the case manager's id + 1 (0 for Null) in the low half.
    using UnitRow = std::uint64_t;
    struct UnitRowHash {
        size_t operator()(UnitRow r) const;
    };
    void addUnitRow(const LoadedRecord& in, std::int32_t unit);

    std::vector<SampleRecord> mRecords;
    // The sampling unit of each record (999999 for none) as an index into the values seen.
    std::vector<std::int32_t> mUnitOf;
    std::vector<double> mUnitValues;
    std::unordered_map<double, std::int32_t> mUnitIds;
    std::vector<std::uint64_t> mKeys; // of each record: SSN and exit date hashed
    std::vector<qint64> mCandidates;
    std::vector<std::pair<qint64, int>> mReweighted;
    // The distinct unit and case manager pairs, case managers compared without regard to case
    // (as the column compares), each with the spelling first seen in it.
    std::unordered_map<std::string, int> mCaseMgrIds;  // folded text -> id
    std::vector<std::string> mFolded;                  // by id
    std::unordered_map<std::string, int> mSpellingIds; // text as stored -> spelling
    std::vector<std::string> mSpellings;
    std::unordered_map<UnitRow, int, UnitRowHash> mUnitRows; // -> first spelling, -1 for Null
    bool mUnitRowsDropped = false;
    bool mDropped = false;
    qint64 mGrouped = 0;
};

// Text the way a column compared without regard to case sees it (ASCII letters folded).
std::string foldCase(std::string_view text);

} // namespace orv
