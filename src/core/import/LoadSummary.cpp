#include "import/LoadSummary.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <tuple>
#include <utility>

namespace orv {

namespace {

// Beyond this many distinct pairs or case managers the 'S' rows are read from the master
// instead: memory stays bounded whatever the file.
constexpr size_t kMaxUnitRows = 300000;
constexpr double kNoUnit = 999999;
constexpr std::uint32_t kNoUnitRow = 0xffffffffu;

std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb33fe1a85ec5ULL;
    h ^= h >> 33;
    return h;
}

std::uint64_t bitsOf(double d) {
    if (d == 0)
        d = 0; // -0 equals 0
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

QVariant unitValue(double unit) {
    // An integer column keeps a whole number as an integer.
    if (unit == std::trunc(unit) && std::abs(unit) < 9.2e18)
        return QVariant(static_cast<qlonglong>(unit));
    return QVariant(unit);
}

} // namespace

std::string foldCase(std::string_view text) {
    std::string folded(text);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

std::pair<int*, bool> LoadSummary::UnitRowTable::insert(UnitRow row) {
    if ((mCount + 1) * 2 > mSlots.size()) {
        std::vector<std::pair<UnitRow, int>> old(std::max<size_t>(mSlots.size() * 2, 1024),
                                                 {kEmpty, 0});
        old.swap(mSlots);
        mCount = 0;
        for (const auto& [r, value] : old)
            if (r != kEmpty)
                *insert(r).first = value;
    }
    const size_t mask = mSlots.size() - 1;
    for (size_t i = static_cast<size_t>(mix(row)) & mask;; i = (i + 1) & mask) {
        auto& slot = mSlots[i];
        if (slot.first == row)
            return {&slot.second, false};
        if (slot.first == kEmpty) {
            slot = {row, 0};
            ++mCount;
            return {&slot.second, true};
        }
    }
}

void LoadSummary::addUnitRow(const LoadedRecord& in, std::int32_t unit) {
    int caseMgr = -1;
    if (in.caseMgr) {
        mFolding.assign(*in.caseMgr);
        for (char& c : mFolding)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        auto it = mCaseMgrIds.find(mFolding);
        if (it == mCaseMgrIds.end()) {
            it = mCaseMgrIds.emplace(mFolding, static_cast<int>(mFolded.size())).first;
            mFolded.push_back(mFolding);
        }
        caseMgr = it->second;
    }
    const UnitRow row =
        (static_cast<std::uint64_t>(in.samplingUnit ? static_cast<std::uint32_t>(unit) : kNoUnitRow)
         << 32) |
        static_cast<std::uint32_t>(caseMgr + 1);
    if (auto [spelling, added] = mUnitRows.insert(row); added) {
        *spelling = -1;
        if (in.caseMgr) {
            auto [it, first] = mSpellingIds.try_emplace(std::string(*in.caseMgr),
                                                        static_cast<int>(mSpellings.size()));
            if (first)
                mSpellings.emplace_back(*in.caseMgr);
            *spelling = it->second;
        }
    }
    if (mUnitRows.size() > kMaxUnitRows || mFolded.size() > kMaxUnitRows ||
        mSpellings.size() > kMaxUnitRows) {
        mUnitRowsDropped = true;
        mUnitRows = {};
        mCaseMgrIds = {};
        mFolded = {};
        mSpellingIds = {};
        mSpellings = {};
    }
}

LoadSummary::LoadSummary(qint64 memoryRecords)
    : mMemoryRecords(static_cast<size_t>(std::max<qint64>(memoryRecords, 1))),
      mRecords(mMemoryRecords), mKeys(mMemoryRecords), mReweighted(mMemoryRecords) {}

void LoadSummary::reserve(qint64 records) {
    const auto n = static_cast<size_t>(std::max<qint64>(records, 0));
    mRecords.reserve(n);
    mKeys.reserve(n);
}

qint64 LoadSummary::spilledRuns() const {
    return mKeyRuns + static_cast<qint64>(mKeys.runs()) +
           (mRecords.spilled() ? mRecords.size() / static_cast<qint64>(mMemoryRecords) : 0);
}

void LoadSummary::add(const LoadedRecord& in) {
    Stored r{};
    r.rowid = in.rowid;
    r.weight = in.rules.value_or(in.weight);
    r.randno = in.randno;
    r.grouped = in.group != 0;
    double unit = in.samplingUnit.value_or(kNoUnit);
    if (unit == 0)
        unit = 0; // -0 is 0
    auto [it, added] = mUnitIds.try_emplace(unit, static_cast<std::int32_t>(mUnitValues.size()));
    if (added)
        mUnitValues.push_back(unit);
    r.unit = it->second;
    mRecords.add(r);
    if (r.grouped)
        ++mGrouped;
    if (in.rules && *in.rules != in.weight)
        mReweighted.add({in.rowid, *in.rules});

    std::uint64_t h = in.ssn ? std::hash<std::string>{}(foldCase(*in.ssn)) : 0x9e3779b97f4a7c15ULL;
    h = mix(h ^ (in.exitDate ? mix(bitsOf(*in.exitDate)) : 0x2545f4914f6cdd1dULL));
    mKeys.add({h, in.rowid * 2 + (r.grouped ? 1 : 0)});

    if (!mUnitRowsDropped)
        addUnitRow(in, it->second);
}

void LoadSummary::finishLoad() {
    // Keys in order: records that share one are next to each other.
    mKeyRuns = static_cast<qint64>(mKeys.runs());
    std::vector<std::pair<qint64, char>> candidates;
    std::vector<Key> same;
    const auto closeRun = [&] {
        if (same.size() > 1)
            for (const Key& k : same)
                candidates.emplace_back(k.rowidGrouped / 2, static_cast<char>(k.rowidGrouped & 1));
        same.clear();
    };
    mKeys.drain([&](const Key& k) {
        if (!same.empty() && same.front().hash != k.hash)
            closeRun();
        same.push_back(k);
        return true;
    });
    closeRun();
    std::sort(candidates.begin(), candidates.end());
    mCandidates.clear();
    mCandidateGrouped.clear();
    mCandidates.reserve(candidates.size());
    mCandidateGrouped.reserve(candidates.size());
    for (const auto& [rowid, grouped] : candidates) {
        mCandidates.push_back(rowid);
        mCandidateGrouped.push_back(grouped);
    }
}

void LoadSummary::ungroup(qint64 rowid) {
    auto it = std::lower_bound(mCandidates.begin(), mCandidates.end(), rowid);
    if (it == mCandidates.end() || *it != rowid)
        return;
    char& grouped = mCandidateGrouped[static_cast<size_t>(it - mCandidates.begin())];
    if (grouped) {
        grouped = 0;
        --mGrouped;
    }
}

bool LoadSummary::stillGrouped(qint64 rowid) const {
    auto it = std::lower_bound(mCandidates.begin(), mCandidates.end(), rowid);
    return it == mCandidates.end() || *it != rowid ||
           mCandidateGrouped[static_cast<size_t>(it - mCandidates.begin())] != 0;
}

void LoadSummary::forEachReweighted(const std::function<void(qint64, int)>& visit) {
    mReweighted.forEach([&](const Reweighted& r) { visit(r.rowid, static_cast<int>(r.weight)); });
}

std::optional<std::vector<std::pair<QVariant, QVariant>>> LoadSummary::unitRows() const {
    if (mUnitRowsDropped)
        return std::nullopt;
    // In the order of an index on the pair: Null first, case managers without regard to case.
    struct Row {
        bool hasUnit;
        double unit;
        int caseMgr;
        int spelling;
    };
    std::vector<Row> sorted;
    sorted.reserve(mUnitRows.size());
    mUnitRows.forEach([&](UnitRow key, int spelling) {
        const auto unit = static_cast<std::uint32_t>(key >> 32);
        const bool hasUnit = unit != kNoUnitRow;
        sorted.push_back({hasUnit, hasUnit ? mUnitValues[unit] : 0.0,
                          static_cast<int>(key & 0xffffffffu) - 1, spelling});
    });
    const auto order = [&](const Row& r) {
        return std::tuple(r.hasUnit, r.unit, r.caseMgr >= 0,
                          r.caseMgr >= 0 ? std::string_view(mFolded[static_cast<size_t>(r.caseMgr)])
                                         : std::string_view());
    };
    std::sort(sorted.begin(), sorted.end(),
              [&](const Row& a, const Row& b) { return order(a) < order(b); });
    std::vector<std::pair<QVariant, QVariant>> rows;
    rows.reserve(sorted.size());
    for (const Row& r : sorted)
        rows.emplace_back(r.hasUnit ? unitValue(r.unit) : QVariant(),
                          r.spelling >= 0 ? QVariant(QString::fromStdString(
                                                mSpellings[static_cast<size_t>(r.spelling)]))
                                          : QVariant());
    return rows;
}

SamplePopulation LoadSummary::takePopulation() {
    SamplePopulation population;
    // Units in ascending order, as the draw reads them.
    std::vector<std::int32_t> order(mUnitValues.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = static_cast<std::int32_t>(i);
    std::sort(order.begin(), order.end(),
              [&](std::int32_t a, std::int32_t b) { return mUnitValues[a] < mUnitValues[b]; });
    std::vector<std::int32_t> rank(order.size());
    population.units.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        rank[static_cast<size_t>(order[i])] = static_cast<std::int32_t>(i);
        population.units.push_back(unitValue(mUnitValues[static_cast<size_t>(order[i])]));
    }
    mUnitIds = {};
    population.memoryRecords = mMemoryRecords;
    population.forEachRecord =
        [this, rank = std::move(rank)](const std::function<void(const SampleRecord&)>& visit) {
            mRecords.forEach([&](const Stored& s) {
                SampleRecord r;
                r.rowid = s.rowid;
                r.weight = s.weight;
                r.randno = s.randno;
                r.unit = rank[static_cast<size_t>(s.unit)];
                r.grouped = s.grouped != 0 && stillGrouped(s.rowid);
                visit(r);
            });
        };
    return population;
}

} // namespace orv
