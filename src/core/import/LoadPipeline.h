#pragma once

#include "import/ExtractReader.h"
#include "import/LoadSummary.h"
#include "rules/FieldChecks.h"

#include <QString>
#include <QStringList>

#include <bit>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// One master column's value, ready to bind. Sixteen bytes: a batch holds 71 of them a line, and
// they cross from one core to the other.
struct EncodedValue {
    enum class Type : std::uint8_t { Null, Int, Real, Text };
    // Int: the integer; Real: the double's bits; Text: its offset into LoadBatch::text, then
    // its size.
    std::uint64_t bits = 0;
    Type type = Type::Null;

    static EncodedValue ofInt(std::int64_t n) { return {static_cast<std::uint64_t>(n), Type::Int}; }
    static EncodedValue ofReal(double d) { return {std::bit_cast<std::uint64_t>(d), Type::Real}; }
    static EncodedValue ofText(std::uint32_t offset, std::uint32_t size) {
        return {std::uint64_t(offset) << 32 | size, Type::Text};
    }
    std::int64_t integer() const { return static_cast<std::int64_t>(bits); }
    double real() const { return std::bit_cast<double>(bits); }
    std::uint32_t offset() const { return static_cast<std::uint32_t>(bits >> 32); }
    std::uint32_t size() const { return static_cast<std::uint32_t>(bits); }
    bool operator==(const EncodedValue&) const = default;
};

// The obs an entry names: column 1 once read, else the line's first comma-field.
struct ObsRef {
    FieldValue::Kind kind = FieldValue::Kind::Blank;
    double number = 0;
    std::uint32_t offset = 0; // the text, into LoadBatch::text
    std::uint32_t size = 0;
};

// One line of the extract, as the reading side left it for the inserting side.
struct LoadItem {
    enum class Kind : std::uint8_t {
        Insert,  // a clean record: its values follow
        Skip,    // a record that failed its checks
        Stop,    // the import stops at this line; its last entry says why
        Fail,    // reading failed: the entries say where, the batch's `error` why
        NotText, // the first line is no text: the file is not an extract at all
    };
    Kind kind = Kind::Skip;
    std::uint32_t firstEntry = 0;
    std::uint32_t entryCount = 0;
    std::uint32_t firstValue = 0; // Insert: kMasterValues values
    ObsRef obs;
};

struct LoadBatch {
    std::vector<LoadItem> items;
    std::vector<EncodedValue> values;
    std::string text;
    QStringList entries;
    // What stopped the reading thread (Fail), whatever was thrown.
    std::exception_ptr error;
    std::int64_t bytesRead = 0;

    std::string_view textOf(std::uint32_t offset, std::uint32_t size) const {
        return std::string_view(text).substr(offset, size);
    }
    QString obsText(const LoadItem& item) const;
};

// The file's columns and the seven the import derives.
constexpr int kMasterValues = kExtractColumns + 7;

// Batches from the reading thread to the inserting one, a few at a time.
class LoadQueue {
public:
    // False when the inserting side has stopped listening.
    bool push(std::unique_ptr<LoadBatch> batch);
    // The reading side is done.
    void finish();
    // The next batch, or null: when none came within `waitMs` (`timedOut` set) or none will.
    std::unique_ptr<LoadBatch> pop(int waitMs, bool& timedOut);
    // A batch the inserting side is done with, for the reading side to fill again: its memory
    // is already mapped and its lists already as long as a batch needs.
    void recycle(std::unique_ptr<LoadBatch> batch);
    // An emptied batch to fill, or a new one.
    std::unique_ptr<LoadBatch> emptyBatch();
    // The inserting side stops: the reading side ends at its next batch.
    void stop();
    bool stopped() const;

private:
    static constexpr size_t kCapacity = 8;
    mutable std::mutex mMutex;
    std::condition_variable mChanged;
    std::deque<std::unique_ptr<LoadBatch>> mBatches;
    std::vector<std::unique_ptr<LoadBatch>> mSpare;
    bool mFinished = false;
    bool mStopped = false;
};

struct ProducerSetup {
    int expectedColumns = 0;
    bool grouped = false; // population type 1: records get their outcome group
    quint32 seed = 0;
    QString state;
    // Records of each list of the summary kept in memory; the rest go to scratch files.
    qint64 summaryMemoryRecords = LoadSummary::kMemoryRecords;
};

// Reads, checks and encodes every line of the extract, on its own thread, and learns what the
// steps after the load need of the records. Row ids are counted from 1: the master is empty.
class LoadProducer {
public:
    LoadProducer(ExtractReader& reader, const CheckContext& context, const ProducerSetup& setup,
                 LoadQueue& queue);
    void run();

    // Valid once run() returned.
    const QString& state() const { return mState; }
    LoadSummary& summary() { return mSummary; }

private:
    class Pass;
    void encode(LoadBatch& batch, const ExtractRecord& record, int weight, int group, int randno);
    bool flush(std::unique_ptr<LoadBatch>& batch);

    ExtractReader& mReader;
    const CheckContext& mContext;
    ProducerSetup mSetup;
    QString mState;
    LoadQueue& mQueue;
    LoadSummary mSummary;
};

} // namespace orv
