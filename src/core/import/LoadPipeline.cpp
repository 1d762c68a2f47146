#include "import/LoadPipeline.h"

#include "import/CrossChecks.h"
#include "import/ImportErrors.h"
#include "import/PostImport.h"
#include "import/RecordRules.h"
#include "validation/OutcomeGroups.h"

#include <algorithm>
#include <array>
#include <random>

namespace orv {

namespace {

const QString kColumnCount =
    QStringLiteral(" there was an error reading a row from the input file. number of columns does "
                   "not match expected number of columns. ");
const QString kFormattedData = QStringLiteral(
    "There was an error reading a row from the input file due to incorrectly formatted data. "
    "Certain columns do not meet the requirements as specified in the record layout (e.g text "
    "values may be placed in fields which require numeric values).");

// Lines per batch: small enough that a Cancel finds little left to drop.
constexpr int kBatchLines = 256;
constexpr int kRandMax = 99999999;

constexpr std::array<const char*, 26> kSubpops = {
    "",     "1.1",  "1.2",  "1.3",  "1.4",  "1.5",  "1.6",  "1.7",  "1.8",
    "1.9",  "1.10", "1.11", "1.12", "1.13", "1.14", "1.15", "1.16", "1.17",
    "1.18", "1.19", "1.20", "1.21", "1.22", "1.23", "1.24", "1.25"};

QString entry(const QString& obs, const QString& message) {
    return QStringLiteral("Error with OBS code - ") + entryObs(obs) + QStringLiteral(". ") +
           message;
}

OptNumber number(const FieldValue& v) {
    return v.isBlank() ? OptNumber() : OptNumber(v.number);
}

// The group AssignOutcomeGroups would give the record.
int groupOf(const ExtractRecord& r) {
    GroupInputs in;
    in.employmentStatus = number(r.col(14));
    in.otherReasonForExit = number(r.col(44));
    constexpr int kColumns[3][3] = {{45, 46, 55}, {48, 49, 56}, {50, 51, 57}};
    for (int q = 0; q < 3; ++q) {
        in.employed[q] = number(r.col(kColumns[q][0]));
        in.type[q] = number(r.col(kColumns[q][1]));
        in.wages[q] = number(r.col(kColumns[q][2]));
    }
    return outcomeGroupOf(in);
}

// randno joins the master to the sample, so no value may repeat within one import.
class RandnoDraw {
public:
    explicit RandnoDraw(quint32 seed) : mGen(seed), mUsed(kRandMax + 1, false) {}
    int draw() {
        for (;;) {
            const double r = mUniform(mGen);
            const int n = static_cast<int>(r * kRandMax + 1);
            if (n >= 1 && n <= kRandMax && !mUsed[n])
                return n;
        }
    }
    void take(int n) { mUsed[n] = true; }

private:
    std::mt19937 mGen;
    std::uniform_real_distribution<double> mUniform{0.0, 1.0};
    std::vector<bool> mUsed;
};

std::uint32_t append(std::string& to, std::string_view text) {
    const auto at = static_cast<std::uint32_t>(to.size());
    to.append(text);
    return at;
}

} // namespace

QString LoadBatch::obsText(const LoadItem& item) const {
    const ObsRef& o = item.obs;
    if (o.kind == FieldValue::Kind::Number) {
        NumberText buffer;
        const std::string_view t = formatNumber(o.number, buffer);
        return QString::fromLatin1(t.data(), qsizetype(t.size()));
    }
    const std::string_view t = textOf(o.offset, o.size);
    return QString::fromUtf8(t.data(), qsizetype(t.size()));
}

bool LoadQueue::push(std::unique_ptr<LoadBatch> batch) {
    std::unique_lock lock(mMutex);
    mChanged.wait(lock, [&] { return mStopped || mBatches.size() < kCapacity; });
    if (mStopped)
        return false;
    mBatches.push_back(std::move(batch));
    mChanged.notify_all();
    return true;
}

void LoadQueue::finish() {
    std::lock_guard lock(mMutex);
    mFinished = true;
    mChanged.notify_all();
}

std::unique_ptr<LoadBatch> LoadQueue::pop(int waitMs, bool& timedOut) {
    std::unique_lock lock(mMutex);
    timedOut = !mChanged.wait_for(lock, std::chrono::milliseconds(waitMs),
                                  [&] { return mFinished || !mBatches.empty(); });
    if (mBatches.empty())
        return nullptr;
    auto batch = std::move(mBatches.front());
    mBatches.pop_front();
    mChanged.notify_all();
    return batch;
}

void LoadQueue::recycle(std::unique_ptr<LoadBatch> batch) {
    batch->items.clear();
    batch->values.clear();
    batch->text.clear();
    batch->entries.clear();
    batch->error = nullptr;
    batch->bytesRead = 0;
    std::lock_guard lock(mMutex);
    // As many as can be in flight at once; more would only hold memory.
    if (mSpare.size() < kCapacity + 2)
        mSpare.push_back(std::move(batch));
}

std::unique_ptr<LoadBatch> LoadQueue::emptyBatch() {
    {
        std::lock_guard lock(mMutex);
        if (!mSpare.empty()) {
            auto batch = std::move(mSpare.back());
            mSpare.pop_back();
            return batch;
        }
    }
    auto batch = std::make_unique<LoadBatch>();
    batch->items.reserve(kBatchLines);
    batch->values.reserve(size_t(kBatchLines) * kMasterValues);
    batch->text.reserve(size_t(kBatchLines) * 256);
    return batch;
}

void LoadQueue::stop() {
    std::lock_guard lock(mMutex);
    mStopped = true;
    mBatches.clear();
    mChanged.notify_all();
}

bool LoadQueue::stopped() const {
    std::lock_guard lock(mMutex);
    return mStopped;
}

LoadProducer::LoadProducer(ExtractReader& reader, const CheckContext& context,
                           const ProducerSetup& setup, LoadQueue& queue)
    : mReader(reader), mContext(context), mSetup(setup), mState(setup.state), mQueue(queue),
      mSummary(setup.summaryMemoryRecords) {}

void LoadProducer::run() {
    try {
        produce();
    } catch (...) {
        // Out of memory, say: the import stops, and the inserting side says why.
        auto batch = std::make_unique<LoadBatch>();
        LoadItem item;
        item.kind = LoadItem::Kind::Fail;
        batch->error = std::current_exception();
        batch->items.push_back(item);
        mQueue.push(std::move(batch));
    }
    mQueue.finish();
}

bool LoadProducer::flush(std::unique_ptr<LoadBatch>& batch) {
    batch->bytesRead = mReader.bytesRead();
    const bool taken = mQueue.push(std::move(batch));
    batch = mQueue.emptyBatch();
    return taken;
}

void LoadProducer::encode(LoadBatch& batch, const ExtractRecord& record, int weight, int group,
                          int randno) {
    auto& out = batch.values;
    NumberText numberText;
    for (int pos = 1; pos <= kExtractColumns; ++pos) {
        const FieldValue& v = record.col(pos);
        const ExtractColumn& column = extractColumn(pos);
        EncodedValue e;
        if (v.isBlank()) {
            // Null
        } else if (column.kind == ColumnKind::Number) {
            // Text here is numeric: a value that is not was refused before the insert.
            const double n = v.number;
            if (!column.real && n == static_cast<double>(static_cast<std::int64_t>(n)))
                e = EncodedValue::ofInt(static_cast<std::int64_t>(n));
            else
                e = EncodedValue::ofReal(n);
        } else if (v.isNumber()) {
            // A number read for a text column is stored in its number form (leading zeros go).
            const std::string_view t = formatNumber(v.number, numberText);
            e = EncodedValue::ofText(append(batch.text, t), static_cast<std::uint32_t>(t.size()));
        } else if (!v.text.empty()) { // an empty text is stored as Null
            e = EncodedValue::ofText(append(batch.text, v.text),
                                     static_cast<std::uint32_t>(v.text.size()));
        }
        out.push_back(e);
    }
    const auto integer = [&](std::int64_t n) { out.push_back(EncodedValue::ofInt(n)); };
    const auto text = [&](std::string_view t) {
        out.push_back(
            EncodedValue::ofText(append(batch.text, t), static_cast<std::uint32_t>(t.size())));
    };
    integer(weight);
    // group 0 leaves the record without one, as the statement's zeros do.
    text(group == 0 ? "0" : kSubpops[static_cast<size_t>(group)]);
    integer(group);
    text(group == 0 ? "0" : "1");
    integer(randno);
    for (int pos : {41, 43}) {
        const FieldValue& v = record.col(pos);
        const YmdKey key = v.isBlank() ? 0 : ParseYmdKey(v);
        if (key == 0) {
            out.emplace_back();
            continue;
        }
        char date[10];
        const auto digits = [](char* to, int value, int count) {
            for (int i = count - 1; i >= 0; --i, value /= 10)
                to[i] = static_cast<char>('0' + value % 10);
        };
        digits(date, key / 10000, 4);
        date[4] = '-';
        digits(date + 5, key / 100 % 100, 2);
        date[7] = '-';
        digits(date + 8, key % 100, 2);
        text(std::string_view(date, 10));
    }
}

void LoadProducer::produce() {
    RandnoDraw randno(mSetup.seed);
    ExtractRecord record;
    auto batch = mQueue.emptyBatch();
    qint64 rowid = 0;
    bool reserved = false;

    // The obs of the entries: the line's first comma-field, then column 1 once read. Kept as
    // bytes so that it outlives the reader's buffer.
    std::string obsText;
    FieldValue::Kind obsKind = FieldValue::Kind::Blank;
    double obsNumber = 0;
    auto obs = [&] {
        if (obsKind == FieldValue::Kind::Number) {
            NumberText buffer;
            const std::string_view t = formatNumber(obsNumber, buffer);
            return QString::fromLatin1(t.data(), qsizetype(t.size()));
        }
        return QString::fromStdString(obsText);
    };

    LoadItem* item = nullptr;
    auto addEntry = [&](const QString& text) {
        batch->entries << text;
        ++item->entryCount;
    };
    bool recordFailed = false;
    const ErrorSink onError = [&](const QString& message) {
        addEntry(entry(obs(), message));
        recordFailed = true;
    };
    auto newItem = [&] {
        batch->items.emplace_back();
        item = &batch->items.back();
        item->firstEntry = static_cast<std::uint32_t>(batch->entries.size());
    };

    for (;;) {
        if (static_cast<int>(batch->items.size()) >= kBatchLines) {
            if (!reserved && mReader.bytesRead() > 0) {
                // As many records again as the file's size suggests, and a little more.
                reserved = true;
                const auto expected = static_cast<qint64>(
                    static_cast<double>(mReader.fileSize()) /
                        static_cast<double>(mReader.bytesRead()) * kBatchLines * 1.02 +
                    1024);
                mSummary.reserve(std::min(expected, mSetup.summaryMemoryRecords));
            }
            if (!flush(batch))
                return;
        }
        try {
            if (!mReader.next())
                break;
        } catch (const ImportFileError&) {
            newItem();
            item->kind = LoadItem::Kind::Fail;
            addEntry(entry(obs(), QString()));
            batch->error = std::current_exception();
            flush(batch);
            return;
        }
        newItem();
        if (mReader.lineNumber() == 1 && !mReader.lineLooksLikeText()) {
            item->kind = LoadItem::Kind::NotText;
            flush(batch);
            return;
        }
        obsText.assign(GetDelimitedField(mReader.line(), ',', 1));
        obsKind = FieldValue::Kind::Blank;
        if (mReader.columnCount() != mSetup.expectedColumns || !mReader.readRecord(record)) {
            item->kind = LoadItem::Kind::Stop;
            addEntry(entry(obs(), kColumnCount));
            flush(batch);
            return;
        }
        const FieldValue& first = record.col(1);
        if (!first.isBlank()) {
            obsKind = first.kind;
            obsNumber = first.number;
            if (first.isText())
                obsText.assign(first.text);
        }
        const int drawn = randno.draw();
        recordFailed = false;
        try {
            runFieldChecks(record, mContext, onError, mState);
            // The weight is part of the statement whether or not the record is clean, so a
            // wage that is no number stops the import here.
            const int weight = ComputeRecordWeight(record);
            if (!recordFailed) {
                const CrossCheckResult cross = CrossCheckRecord(record, mContext);
                for (const QString& m : cross.messages)
                    addEntry(m);
                recordFailed = cross.hasErrors();
            }
            if (recordFailed) {
                item->kind = LoadItem::Kind::Skip;
                continue;
            }
            if (hasTypeMismatch(record))
                throw TypeMismatch(firstTypeMismatch(record));

            const int group = mSetup.grouped ? groupOf(record) : 0;
            item->kind = LoadItem::Kind::Insert;
            item->firstValue = static_cast<std::uint32_t>(batch->values.size());
            item->obs.kind = obsKind;
            item->obs.number = obsNumber;
            item->obs.offset = append(batch->text, obsText);
            item->obs.size = static_cast<std::uint32_t>(obsText.size());
            encode(*batch, record, weight, group, drawn);
            randno.take(drawn);

            const EncodedValue* v = &batch->values[item->firstValue];
            const auto storedNumber = [&](int pos) -> std::optional<double> {
                const EncodedValue& e = v[pos - 1];
                if (e.type == EncodedValue::Type::Int)
                    return static_cast<double>(e.integer());
                if (e.type == EncodedValue::Type::Real)
                    return e.real();
                return std::nullopt;
            };
            const auto storedText = [&](int pos) -> std::optional<std::string_view> {
                const EncodedValue& e = v[pos - 1];
                if (e.type != EncodedValue::Type::Text)
                    return std::nullopt;
                return batch->textOf(e.offset(), e.size());
            };
            LoadedRecord loaded;
            loaded.rowid = ++rowid;
            loaded.samplingUnit = storedNumber(63);
            loaded.caseMgr = storedText(62);
            loaded.ssn = storedText(3);
            loaded.exitDate = storedNumber(43);
            loaded.weight = weight;
            loaded.rules = ruleWeight(number(record.col(45)), number(record.col(55)),
                                      number(record.col(50)), number(record.col(57)));
            loaded.group = group;
            loaded.randno = drawn;
            mSummary.add(loaded);
        } catch (const TypeMismatch&) {
            item->kind = LoadItem::Kind::Stop;
            addEntry(entry(obs(), kFormattedData));
            flush(batch);
            return;
        }
    }
    mSummary.finishLoad();
    if (!batch->items.empty())
        flush(batch);
}

} // namespace orv
