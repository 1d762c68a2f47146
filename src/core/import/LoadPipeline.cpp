#include "import/LoadPipeline.h"

#include "import/PostImport.h"
#include "rules/CrossChecks.h"
#include "rules/ImportErrors.h"
#include "rules/RecordRules.h"
#include "validation/OutcomeGroups.h"

#include <algorithm>
#include <array>
#include <random>
#include <string>

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

// subpop of each group, "1.1" to "1.25", by group number (0 has none).
const std::array<std::string, kGroupCount + 1> kSubpops = [] {
    std::array<std::string, kGroupCount + 1> all;
    for (int g = 1; g <= kGroupCount; ++g)
        all[static_cast<size_t>(g)] = "1." + std::to_string(g);
    return all;
}();

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
    in.employmentStatus = number(r.col(Col::EmploymentStatus));
    in.otherReasonForExit = number(r.col(Col::OtherReasonForExit));
    // Employed, type of employment match and wages of each quarter after exit.
    constexpr Col kColumns[3][3] = {
        {Col::EmpQtr1, Col::TypeEmpQtr1AfterExit, Col::Earn1QTRAfterExit},
        {Col::EmpQtr2AfterExit, Col::TypeEmpQtr2AfterExit, Col::Earn2QTRAfterExit},
        {Col::EmpQtr3, Col::TypeEmpQtr3AfterExit, Col::Earn3QTRAfterExit}};
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

// The reading ended early: its last item says why.
struct Ended {};

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
    text(group == 0 ? std::string_view("0")
                    : std::string_view(kSubpops[static_cast<size_t>(group)]));
    integer(group);
    text(group == 0 ? "0" : "1");
    integer(randno);
    for (Col column : {Col::WIARegDate, Col::WIAExitDate}) {
        const FieldValue& v = record.col(column);
        const YmdKey key = v.isBlank() ? 0 : parseYmdKey(v);
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

// One reading of the file: each line becomes an item of the current batch (a record to insert,
// one to skip, or the end of the import), with its entries for the error report.
class LoadProducer::Pass {
public:
    explicit Pass(LoadProducer& producer)
        : mP(producer), mRandno(producer.mSetup.seed), mBatch(producer.mQueue.emptyBatch()),
          mOnError([this](const QString& message) {
              addEntry(entry(obs(), message));
              mRecordFailed = true;
          }) {}

    void run() {
        for (;;) {
            if (static_cast<int>(mBatch->items.size()) >= kBatchLines && !passFullBatch())
                return;
            if (!readLine())
                break;
            if (!takeLine())
                return;
        }
        mP.mSummary.finishLoad();
        if (!mBatch->items.empty())
            mP.flush(mBatch);
    }

private:
    // The obs of the entries: the line's first comma-field, then column 1 once read.
    QString obs() const {
        if (mObsKind == FieldValue::Kind::Number) {
            NumberText buffer;
            const std::string_view t = formatNumber(mObsNumber, buffer);
            return QString::fromLatin1(t.data(), qsizetype(t.size()));
        }
        return QString::fromStdString(mObsText);
    }
    void addEntry(const QString& text) {
        mBatch->entries << text;
        ++mItem->entryCount;
    }
    void newItem() {
        mBatch->items.emplace_back();
        mItem = &mBatch->items.back();
        mItem->firstEntry = static_cast<std::uint32_t>(mBatch->entries.size());
    }
    // Ends the reading with the current item as its last.
    bool stop(LoadItem::Kind kind, const QString& entryText) {
        mItem->kind = kind;
        if (!entryText.isNull())
            addEntry(entryText);
        mP.flush(mBatch);
        return false;
    }

    // Hands the batch over; false when the loading side has stopped.
    bool passFullBatch() {
        if (!mReserved && mP.mReader.bytesRead() > 0) {
            // As many records again as the file's size suggests, and a little more.
            mReserved = true;
            const auto expected = static_cast<qint64>(
                static_cast<double>(mP.mReader.fileSize()) /
                    static_cast<double>(mP.mReader.bytesRead()) * kBatchLines * 1.02 +
                1024);
            mP.mSummary.reserve(std::min(expected, mP.mSetup.summaryMemoryRecords));
        }
        return mP.flush(mBatch);
    }

    // The next line; false at the end of the file. A read error ends the reading.
    bool readLine() {
        try {
            return mP.mReader.next();
        } catch (const ImportFileError&) {
            newItem();
            mItem->kind = LoadItem::Kind::Fail;
            addEntry(entry(obs(), QString()));
            mBatch->error = std::current_exception();
            mP.flush(mBatch);
            throw Ended();
        }
    }

    // The line read as a record, checked and, when clean, encoded; false when it ends the import.
    bool takeLine() {
        newItem();
        if (mP.mReader.lineNumber() == 1 && !mP.mReader.lineLooksLikeText())
            return stop(LoadItem::Kind::NotText, QString());
        mObsText.assign(GetDelimitedField(mP.mReader.line(), ',', 1));
        mObsKind = FieldValue::Kind::Blank;
        if (mP.mReader.columnCount() != mP.mSetup.expectedColumns ||
            !mP.mReader.readRecord(mRecord))
            return stop(LoadItem::Kind::Stop, entry(obs(), kColumnCount));
        const FieldValue& first = mRecord.col(Col::Obs);
        if (!first.isBlank()) {
            mObsKind = first.kind;
            mObsNumber = first.number;
            if (first.isText())
                mObsText.assign(first.text);
        }
        const int drawn = mRandno.draw();
        try {
            int weight = 0;
            if (!checkRecord(weight)) {
                mItem->kind = LoadItem::Kind::Skip;
                return true;
            }
            if (hasTypeMismatch(mRecord))
                throw TypeMismatch(firstTypeMismatch(mRecord));
            insertRecord(weight, drawn);
        } catch (const TypeMismatch&) {
            return stop(LoadItem::Kind::Stop, entry(obs(), kFormattedData));
        }
        return true;
    }

    // The field checks, the weight and the cross checks; true for a clean record.
    bool checkRecord(int& weight) {
        mRecordFailed = false;
        runFieldChecks(mRecord, mP.mContext, mOnError, mP.mState);
        // The weight is part of the statement whether or not the record is clean, so a wage
        // that is no number stops the import here.
        weight = ComputeRecordWeight(mRecord);
        if (!mRecordFailed) {
            const CrossCheckResult cross = CrossCheckRecord(mRecord, mP.mContext);
            for (const QString& m : cross.messages)
                addEntry(m);
            mRecordFailed = cross.hasErrors();
        }
        return !mRecordFailed;
    }

    void insertRecord(int weight, int drawn) {
        const int group = mP.mSetup.grouped ? groupOf(mRecord) : 0;
        mItem->kind = LoadItem::Kind::Insert;
        mItem->firstValue = static_cast<std::uint32_t>(mBatch->values.size());
        mItem->obs.kind = mObsKind;
        mItem->obs.number = mObsNumber;
        mItem->obs.offset = append(mBatch->text, mObsText);
        mItem->obs.size = static_cast<std::uint32_t>(mObsText.size());
        mP.encode(*mBatch, mRecord, weight, group, drawn);
        mRandno.take(drawn);
        learn(weight, group, drawn);
    }

    // What the steps after the load need of the record, from the values as stored.
    void learn(int weight, int group, int drawn) {
        const EncodedValue* v = &mBatch->values[mItem->firstValue];
        const auto storedNumber = [&](Col c) -> std::optional<double> {
            const EncodedValue& e = v[pos(c) - 1];
            if (e.type == EncodedValue::Type::Int)
                return static_cast<double>(e.integer());
            if (e.type == EncodedValue::Type::Real)
                return e.real();
            return std::nullopt;
        };
        const auto storedText = [&](Col c) -> std::optional<std::string_view> {
            const EncodedValue& e = v[pos(c) - 1];
            if (e.type != EncodedValue::Type::Text)
                return std::nullopt;
            return mBatch->textOf(e.offset(), e.size());
        };
        LoadedRecord loaded;
        loaded.rowid = ++mRowid;
        loaded.samplingUnit = storedNumber(Col::SamplingUnit);
        loaded.caseMgr = storedText(Col::CaseMgr);
        loaded.ssn = storedText(Col::SSN);
        loaded.exitDate = storedNumber(Col::WIAExitDate);
        loaded.weight = weight;
        loaded.rules = ruleWeight(
            number(mRecord.col(Col::EmpQtr1)), number(mRecord.col(Col::Earn1QTRAfterExit)),
            number(mRecord.col(Col::EmpQtr3)), number(mRecord.col(Col::Earn3QTRAfterExit)));
        loaded.group = group;
        loaded.randno = drawn;
        mP.mSummary.add(loaded);
    }

    LoadProducer& mP;
    RandnoDraw mRandno;
    ExtractRecord mRecord;
    std::unique_ptr<LoadBatch> mBatch;
    LoadItem* mItem = nullptr;
    qint64 mRowid = 0;
    bool mReserved = false;
    bool mRecordFailed = false;
    // Kept as bytes so that it outlives the reader's buffer.
    std::string mObsText;
    FieldValue::Kind mObsKind = FieldValue::Kind::Blank;
    double mObsNumber = 0;
    const ErrorSink mOnError;
};

void LoadProducer::run() {
    try {
        Pass(*this).run();
    } catch (const Ended&) {
        // The last item said why.
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

} // namespace orv
