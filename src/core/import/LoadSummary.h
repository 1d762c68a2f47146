#pragma once

#include "db/SpillFile.h"
#include "validation/Sample.h"

#include <QVariant>

#include <cstdint>
#include <functional>
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
    std::optional<int> rules; // the weight the rules give, when one does
    int group = 0;
    int randno = 0;
};

// What the import learns of the records it inserts, so that the steps after the load need not
// read the whole master again (nor keep indexes for it). At most `memoryRecords` records of each
// list it keeps are in memory at once; the rest wait in scratch files, so memory stays bounded
// whatever the size of the file. Records are added in row id order.
class LoadSummary {
public:
    static constexpr qint64 kMemoryRecords = 1000000;
    explicit LoadSummary(qint64 memoryRecords = kMemoryRecords);

    // Room for about `records` records, so that the lists need not grow by copying.
    void reserve(qint64 records);
    void add(const LoadedRecord& record);
    // The last record was added: works out the duplicate candidates.
    void finishLoad();
    qint64 size() const { return mRecords.size(); }
    // Runs written to scratch files so far (0 while everything fits in memory).
    qint64 spilledRuns() const;

    qint64 grouped() const { return mGrouped; }
    qint64 ungrouped() const { return mRecords.size() - mGrouped; }

    // The records whose SSN and exit date another record may share, by row id, ascending. Every
    // duplicate is among them; a few that are not may be too.
    const std::vector<qint64>& duplicateCandidates() const { return mCandidates; }
    // A candidate lost its group.
    void ungroup(qint64 rowid);

    // Records whose weight the rules change, with the new weight, in row id order.
    void forEachReweighted(const std::function<void(qint64 rowid, int weight)>& visit);

    // Distinct sampling unit and case manager pairs (as a DISTINCT over the master gives them,
    // ordered), or nothing when there were too many to keep.
    std::optional<std::vector<std::pair<QVariant, QVariant>>> unitRows() const;

    // The master as the draw reads it. Call once, after the load; the population reads its
    // records from this summary, which must outlive it.
    SamplePopulation takePopulation();

private:
    // A unit and case manager pair: the unit's index into mUnitValues (kNoUnitRow for Null)
    // in the high half, the case manager's id + 1 (0 for Null) in the low half.
    using UnitRow = std::uint64_t;
    // The pairs seen, each with a number: open addressing, as every record looks its pair up
    // and nearly all find it.
    class UnitRowTable {
    public:
        // The number kept for `row`, and whether the row was new (its number then 0).
        std::pair<int*, bool> insert(UnitRow row);
        size_t size() const { return mCount; }
        template <class Visit> void forEach(Visit visit) const {
            for (const auto& [row, value] : mSlots)
                if (row != kEmpty)
                    visit(row, value);
        }

    private:
        static constexpr UnitRow kEmpty = ~UnitRow(0); // no pair has both halves all ones
        std::vector<std::pair<UnitRow, int>> mSlots;
        size_t mCount = 0;
    };
    void addUnitRow(const LoadedRecord& in, std::int32_t unit);
    // Whether a record that loaded with a group still has it.
    bool stillGrouped(qint64 rowid) const;

    struct Stored {
        qint64 rowid;
        std::int32_t weight;
        std::int32_t randno;
        std::int32_t unit; // index into mUnitValues
        std::int32_t grouped;
    };
    // SSN and exit date hashed, with the row id doubled and 1 added when the record is grouped.
    struct Key {
        std::uint64_t hash;
        std::int64_t rowidGrouped;
    };
    struct KeyOrder {
        bool operator()(const Key& a, const Key& b) const {
            return a.hash != b.hash ? a.hash < b.hash : a.rowidGrouped < b.rowidGrouped;
        }
    };
    struct Reweighted {
        qint64 rowid;
        std::int64_t weight;
    };

    size_t mMemoryRecords;
    SpillList<Stored> mRecords;
    SpillSorter<Key, KeyOrder> mKeys;
    SpillList<Reweighted> mReweighted;
    std::vector<double> mUnitValues;
    std::unordered_map<double, std::int32_t> mUnitIds;
    std::vector<qint64> mCandidates;
    std::vector<char> mCandidateGrouped; // of each candidate, as ungroup() leaves it
    qint64 mKeyRuns = 0;
    // The distinct unit and case manager pairs, case managers compared without regard to case
    // (as the column compares), each with the spelling first seen in it.
    std::unordered_map<std::string, int> mCaseMgrIds;  // folded text -> id
    std::vector<std::string> mFolded;                  // by id
    std::unordered_map<std::string, int> mSpellingIds; // text as stored -> spelling
    std::vector<std::string> mSpellings;
    UnitRowTable mUnitRows; // -> first spelling, -1 for Null
    std::string mFolding;   // reused, so that looking a case manager up allocates nothing
    bool mUnitRowsDropped = false;
    qint64 mGrouped = 0;
};

// Text the way a column compared without regard to case sees it (ASCII letters folded).
std::string foldCase(std::string_view text);

} // namespace orv
