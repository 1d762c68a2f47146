#pragma once

#include <QTemporaryFile>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <queue>
#include <type_traits>
#include <vector>

namespace orv {

// A scratch file of fixed-size records, in the system's temporary folder, removed when this
// goes (whether the work that wrote it ended well or not). Opened at the first write.
class SpillFile {
public:
    SpillFile() = default;
    SpillFile(const SpillFile&) = delete;
    SpillFile& operator=(const SpillFile&) = delete;

    // Appends; returns where the bytes start. Throws DbError when the disk refuses them.
    std::int64_t append(const void* data, std::int64_t size);
    // Reads `size` bytes at `offset`, which an append wrote.
    void read(std::int64_t offset, void* data, std::int64_t size);
    bool opened() const { return mFile != nullptr; }
    // Where the file is, while it is open (for tests).
    QString path() const;

private:
    std::unique_ptr<QTemporaryFile> mFile;
    std::int64_t mSize = 0;
    std::int64_t mPosition = -1; // of the file pointer, -1 when not known
};

// Records read back from a SpillFile a block at a time.
template <typename T> class SpillCursor {
public:
    SpillCursor(SpillFile& file, std::int64_t offset, std::int64_t count)
        : mFile(&file), mOffset(offset), mLeft(count) {}
    // The next record, or null past the last.
    const T* next() {
        if (mAt == mBlock.size()) {
            if (mLeft == 0)
                return nullptr;
            const auto n = static_cast<size_t>(std::min<std::int64_t>(mLeft, kBlockRecords));
            mBlock.resize(n);
            const auto bytes = static_cast<std::int64_t>(n * sizeof(T));
            mFile->read(mOffset, mBlock.data(), bytes);
            mOffset += bytes;
            mLeft -= static_cast<std::int64_t>(n);
            mAt = 0;
        }
        return &mBlock[mAt++];
    }

private:
    static constexpr std::int64_t kBlockRecords = std::max<std::int64_t>(1, 65536 / sizeof(T));
    SpillFile* mFile;
    std::int64_t mOffset;
    std::int64_t mLeft;
    std::vector<T> mBlock;
    size_t mAt = 0;
};

// Records in the order they were added, at most `memoryRecords` of them in memory at a time: the
// older ones wait in a scratch file. Read as often as needed.
template <typename T> class SpillList {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    explicit SpillList(size_t memoryRecords = 1000000)
        : mMemoryRecords(std::max<size_t>(1, memoryRecords)) {}

    void reserve(size_t records) { mTail.reserve(std::min(records, mMemoryRecords)); }
    void add(const T& record) {
        if (mTail.size() >= mMemoryRecords) {
            mFile.append(mTail.data(), static_cast<std::int64_t>(mTail.size() * sizeof(T)));
            mSpilled += static_cast<std::int64_t>(mTail.size());
            mTail.clear();
        }
        mTail.push_back(record);
    }
    std::int64_t size() const { return mSpilled + static_cast<std::int64_t>(mTail.size()); }
    bool spilled() const { return mSpilled != 0; }
    template <typename F> void forEach(F&& visit) {
        SpillCursor<T> cursor(mFile, 0, mSpilled);
        while (const T* r = cursor.next())
            visit(*r);
        for (const T& r : mTail)
            visit(r);
    }
    const SpillFile& file() const { return mFile; }

private:
    size_t mMemoryRecords;
    SpillFile mFile;
    std::int64_t mSpilled = 0;
    std::vector<T> mTail;
};

// Records read back in the order `Less` gives them, sorted in memory while they fit in
// `memoryRecords`, else in sorted runs of that size in a scratch file merged as they are read.
template <typename T, typename Less> class SpillSorter {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    explicit SpillSorter(size_t memoryRecords, Less less = {})
        : mMemoryRecords(std::max<size_t>(1, memoryRecords)), mLess(less) {}

    void reserve(size_t records) { mBuffer.reserve(std::min(records, mMemoryRecords)); }
    void add(const T& record) {
        if (mBuffer.size() >= mMemoryRecords)
            spill();
        mBuffer.push_back(record);
    }
    size_t runs() const { return mRuns.size(); }
    const SpillFile& file() const { return mFile; }

    // Visits every record in order until `visit` returns false. Once: what was added is gone.
    template <typename F> void drain(F&& visit) {
        if (mRuns.empty()) {
            std::sort(mBuffer.begin(), mBuffer.end(), mLess);
            for (const T& r : mBuffer)
                if (!visit(r))
                    break;
            mBuffer = {};
            return;
        }
        if (!mBuffer.empty())
            spill();
        mBuffer = {};
        std::vector<SpillCursor<T>> cursors;
        cursors.reserve(mRuns.size());
        struct Head {
            T record;
            size_t run;
        };
        // Equal records come in run order, so the merge is as stable as one sort would be.
        const auto later = [this](const Head& a, const Head& b) {
            if (mLess(b.record, a.record))
                return true;
            if (mLess(a.record, b.record))
                return false;
            return a.run > b.run;
        };
        std::priority_queue<Head, std::vector<Head>, decltype(later)> heads(later);
        for (size_t i = 0; i < mRuns.size(); ++i) {
            cursors.emplace_back(mFile, mRuns[i].first, mRuns[i].second);
            if (const T* r = cursors.back().next())
                heads.push({*r, i});
        }
        mRuns.clear();
        while (!heads.empty()) {
            const Head head = heads.top();
            heads.pop();
            if (!visit(head.record))
                return;
            if (const T* r = cursors[head.run].next())
                heads.push({*r, head.run});
        }
    }

private:
    void spill() {
        std::sort(mBuffer.begin(), mBuffer.end(), mLess);
        const std::int64_t at =
            mFile.append(mBuffer.data(), static_cast<std::int64_t>(mBuffer.size() * sizeof(T)));
        mRuns.emplace_back(at, static_cast<std::int64_t>(mBuffer.size()));
        mBuffer.clear();
    }

    size_t mMemoryRecords;
    Less mLess;
    SpillFile mFile;
    std::vector<T> mBuffer;
    std::vector<std::pair<std::int64_t, std::int64_t>> mRuns; // offset, count
};

} // namespace orv
