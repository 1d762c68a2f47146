#include "import/ExtractReader.h"

#include "rules/ImportErrors.h"
#include "rules/RecordRules.h"

#include <QDir>
#include <QStringDecoder>

#include <algorithm>
#include <bit>
#include <cstring>

namespace orv {

namespace {

constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;

constexpr std::uint64_t broadcast(char c) {
    return 0x0101010101010101ULL * static_cast<unsigned char>(c);
}

// 0x80 in every byte of word that equals the byte of pattern; exact, no carries between bytes.
inline std::uint64_t equalBytes(std::uint64_t word, std::uint64_t pattern) {
    const std::uint64_t x = word ^ pattern;
    return ~((((x & kLow7) + kLow7) | x) | kLow7);
}

inline std::uint64_t load(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// Plain ASCII without apostrophes: the line can be used as it is.
bool isCleanAscii(const char* p, const char* end) {
    constexpr std::uint64_t apostrophes = broadcast('\'');
    std::uint64_t bad = 0;
    for (; end - p >= 8; p += 8) {
        const std::uint64_t w = load(p);
        bad |= (w & kHigh) | equalBytes(w, apostrophes);
    }
    for (; p != end; ++p)
        if (static_cast<unsigned char>(*p) >= 0x80 || *p == '\'')
            return false;
    return bad == 0;
}

bool isAscii(const char* p, const char* end) {
    for (; p != end; ++p)
        if (static_cast<unsigned char>(*p) >= 0x80)
            return false;
    return true;
}

bool isValidUtf8(const unsigned char* p, const unsigned char* end) {
    while (p != end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int more;
        unsigned char lo = 0x80, hi = 0xBF; // range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0)
                lo = 0xA0; // overlong
            else if (c == 0xED)
                hi = 0x9F; // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0)
                lo = 0x90;
            else if (c == 0xF4)
                hi = 0x8F;
        } else {
            return false;
        }
        if (end - p <= more)
            return false;
        if (p[1] < lo || p[1] > hi)
            return false;
        for (int i = 2; i <= more; ++i)
            if ((p[i] & 0xC0) != 0x80)
                return false;
        p += more + 1;
    }
    return true;
}

// Windows-1252 0x80-0x9F; the five unassigned bytes keep their C1 code points.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char16_t u) {
    if (u < 0x80) {
        out.push_back(char(u));
    } else if (u < 0x800) {
        out.push_back(char(0xC0 | (u >> 6)));
        out.push_back(char(0x80 | (u & 0x3F)));
    } else {
        out.push_back(char(0xE0 | (u >> 12)));
        out.push_back(char(0x80 | ((u >> 6) & 0x3F)));
        out.push_back(char(0x80 | (u & 0x3F)));
    }
}

bool isBlankChar(char c) {
    return c == ' ' || c == '\t';
}

bool isBlankLine(const char* begin, const char* end) {
    return std::all_of(begin, end, isBlankChar);
}

} // namespace

ExtractReader::ExtractReader(const QString& path, std::size_t blockSize)
    : mPath(path), mFile(path), mCapacity(std::max<std::size_t>(blockSize, 64)) {
    if (!mFile.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw ImportFileError(QStringLiteral("Cannot open the file %1: %2")
                                  .arg(QDir::toNativeSeparators(path), mFile.errorString()));
    // The file as it is now: lines added while the import runs are not part of it.
    mFileSize = mFile.size();
    if (!mFile.isSequential())
        mLimit = mFileSize;
    mBuffer = std::make_unique<char[]>(mCapacity);
    detectEncoding();
}

ExtractReader::~ExtractReader() = default;

void ExtractReader::failRead() {
    throw ImportFileError(QStringLiteral("Cannot read the file %1: %2")
                              .arg(QDir::toNativeSeparators(mPath), mFile.errorString()));
}

std::size_t ExtractReader::readRaw(char* to, std::size_t room) {
    qint64 want = qint64(room);
    if (mLimit >= 0)
        want = std::min<qint64>(want, mLimit - mRawRead);
    if (want <= 0)
        return 0;
    const qint64 n = mFile.read(to, want);
    if (n < 0)
        failRead();
    mRawRead += n;
    return std::size_t(n);
}

void ExtractReader::detectEncoding() {
    char head[3];
    std::size_t got = 0;
    while (got < sizeof head) {
        const std::size_t n = readRaw(head + got, sizeof head - got);
        if (n == 0)
            break;
        got += n;
    }
    mHead.assign(head, got);
    if (mHead.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        mHead.erase(0, 3);
    } else if (mHead.compare(0, 2, "\xFF\xFE") == 0 || mHead.compare(0, 2, "\xFE\xFF") == 0) {
        mEncoding = mHead[0] == '\xFF' ? Encoding::Utf16LE : Encoding::Utf16BE;
        mHead.erase(0, 2);
        mDecoder = std::make_unique<QStringDecoder>(
            mEncoding == Encoding::Utf16LE ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
    }
}

std::size_t ExtractReader::readBlock(char* to, std::size_t room) {
    if (mEncoding == Encoding::Bytes) {
        std::size_t n = std::min(room, mHead.size());
        std::memcpy(to, mHead.data(), n);
        mHead.erase(0, n);
        if (n < room)
            n += readRaw(to + n, room - n);
        return n;
    }
    while (mDecodedPos == mDecoded.size()) {
        mDecoded.clear();
        mDecodedPos = 0;
        std::string raw = std::move(mHead);
        mHead.clear();
        const std::size_t kept = raw.size();
        raw.resize(kept + (std::size_t(1) << 16));
        raw.resize(kept + readRaw(raw.data() + kept, raw.size() - kept));
        if (raw.empty())
            return 0;
        const QString text = mDecoder->decode(QByteArrayView(raw.data(), qsizetype(raw.size())));
        const QByteArray utf8 = text.toUtf8();
        mDecoded.assign(utf8.constData(), std::size_t(utf8.size()));
        mDecodedTotal += std::int64_t(mDecoded.size());
    }
    const std::size_t n = std::min(room, mDecoded.size() - mDecodedPos);
    std::memcpy(to, mDecoded.data() + mDecodedPos, n);
    mDecodedPos += n;
    return n;
}

std::int64_t ExtractReader::bytesRead() const {
    const auto unread = std::int64_t(mEnd - mPos);
    if (mEncoding == Encoding::Bytes)
        return mRawRead - std::int64_t(mHead.size()) - unread;
    if (mDecodedTotal == 0)
        return 0;
    // In the file's own bytes, in proportion to the text handed out.
    const auto handedOut =
        double(mDecodedTotal - std::int64_t(mDecoded.size() - mDecodedPos) - unread);
    return std::int64_t(handedOut / double(mDecodedTotal) * double(mRawRead));
}

bool ExtractReader::nextRawLine(char*& begin, char*& end, bool& tooLong) {
    tooLong = false;
    for (;;) {
        char* const data = mBuffer.get();
        char* const b = data + mPos;
        char* const e = data + mEnd;
        auto* nl = static_cast<char*>(std::memchr(b, '\n', std::size_t(e - b)));
        if (mSkipRest) {
            // The tail of a line too long to keep: dropped as it is read.
            if (nl) {
                mPos = std::size_t(nl - data) + 1;
                mSkipRest = false;
                continue;
            }
            mPos = mEnd;
            if (mEof)
                return false;
        } else if (nl) {
            mPos = std::size_t(nl - data) + 1;
            begin = b;
            end = (nl != b && nl[-1] == '\r') ? nl - 1 : nl;
            return true;
        } else if (std::size_t(e - b) >= kMaxLineBytes) {
            mPos = mEnd;
            mSkipRest = !mEof;
            begin = b;
            end = b + kMaxLineBytes;
            tooLong = true;
            return true;
        } else if (mEof) {
            if (b == e)
                return false;
            mPos = mEnd;
            begin = b;
            end = e[-1] == '\r' ? e - 1 : e;
            return true;
        }
        // Keep the partial line and read the next block behind it.
        const std::size_t kept = mEnd - mPos;
        std::memmove(data, data + mPos, kept);
        mBufferOffset += std::int64_t(mPos);
        mPos = 0;
        mEnd = kept;
        if (mEnd == mCapacity) {
            auto bigger = std::make_unique<char[]>(mCapacity * 2);
            std::memcpy(bigger.get(), mBuffer.get(), mEnd);
            mBuffer = std::move(bigger);
            mCapacity *= 2;
        }
        const std::size_t n = readBlock(mBuffer.get() + mEnd, mCapacity - mEnd);
        if (n == 0)
            mEof = true;
        mEnd += n;
    }
}

bool ExtractReader::next() {
    if (mPendingBlankLines > 0) {
        --mPendingBlankLines;
        takeLine(nullptr, nullptr, false);
        return true;
    }
    if (mStashBegin) {
        char* b = mStashBegin;
        char* e = mStashEnd;
        mStashBegin = mStashEnd = nullptr;
        takeLine(b, e, mStashTooLong);
        return true;
    }
    char *b, *e;
    bool tooLong;
    if (!nextRawLine(b, e, tooLong))
        return false;
    if (tooLong || !isBlankLine(b, e)) {
        takeLine(b, e, tooLong);
        return true;
    }
    // Look past the blank run: at the end of the file it is no record.
    std::int64_t blanks = 1;
    char *nb, *ne;
    for (;;) {
        if (!nextRawLine(nb, ne, tooLong))
            return false;
        if (tooLong || !isBlankLine(nb, ne))
            break;
        ++blanks;
    }
    mStashBegin = nb;
    mStashEnd = ne;
    mStashTooLong = tooLong;
    mPendingBlankLines = blanks - 1;
    takeLine(nullptr, nullptr, false);
    return true;
}

bool ExtractReader::lineLooksLikeText() const {
    return std::none_of(mLine.begin(), mLine.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 && c != '\t' && c != '\r' && c != '\f' && c != '\v' && u != 0x1A;
    });
}

void ExtractReader::takeLine(char* begin, char* end, bool tooLong) {
    ++mLineNumber;
    mWindows1252 = false;
    mTooLong = tooLong;
    if (begin == end) {
        mLineData = nullptr;
        mLine = {};
        mColumns = 1;
        mSeparator = ',';
        return;
    }
    if (isCleanAscii(begin, end)) {
        mLineData = begin;
        mLine = std::string_view(begin, std::size_t(end - begin));
    } else if (!isAscii(begin, end) && !isValidUtf8(reinterpret_cast<const unsigned char*>(begin),
                                                    reinterpret_cast<const unsigned char*>(end))) {
        mWindows1252 = true;
        mScratch.clear();
        for (const char* p = begin; p != end; ++p) {
            const auto c = static_cast<unsigned char>(*p);
            if (c == '\'')
                continue;
            if (c < 0x80)
                mScratch.push_back(char(c));
            else
                appendUtf8(mScratch, c < 0xA0 ? kCp1252High[c - 0x80] : char16_t(c));
        }
        mLineData = mScratch.data();
        mLine = std::string_view(mScratch);
    } else {
        char* out = static_cast<char*>(std::memchr(begin, '\'', std::size_t(end - begin)));
        if (out) {
            for (const char* p = out; p != end; ++p)
                if (*p != '\'')
                    *out++ = *p;
            end = out;
        }
        mLineData = begin;
        mLine = std::string_view(begin, std::size_t(end - begin));
    }
    countColumns(',');
    if (mColumns == 1)
        countColumns('\t');
    if (mTooLong)
        mColumns = 0; // whatever its start holds, it is no record
}

void ExtractReader::countColumns(char separator) {
    mSeparator = separator;
    const char* const data = mLine.data();
    const char* const end = data + mLine.size();
    const std::uint64_t pattern = broadcast(separator);
    int found = 0;
    auto record = [&](const char* at) {
        if (found < kExtractColumns - 1)
            mSeparators[std::size_t(found)] = std::uint32_t(at - data);
        ++found;
    };
    const char* p = data;
    for (; end - p >= 8; p += 8) {
        for (std::uint64_t m = equalBytes(load(p), pattern); m; m &= m - 1)
            record(p + (std::endian::native == std::endian::little ? std::countr_zero(m)
                                                                   : std::countl_zero(m)) /
                           8);
    }
    for (; p != end; ++p)
        if (*p == separator)
            record(p);
    mColumns = found + 1;
}

bool ExtractReader::readRecord(ExtractRecord& record) {
    if (mColumns != kExtractColumns)
        return false;
    char* const data = mLineData;
    std::uint32_t start = 0;
    for (int i = 0; i < kExtractColumns; ++i) {
        const std::uint32_t stop =
            i < kExtractColumns - 1 ? mSeparators[std::size_t(i)] : std::uint32_t(mLine.size());
        readField(data + start, data + stop, record.values[std::size_t(i)]);
        start = stop + 1;
    }
    return true;
}

void ExtractReader::readField(char* begin, char* end, FieldValue& value) {
    while (begin != end && isBlankChar(*begin))
        ++begin;
    while (end != begin && isBlankChar(end[-1]))
        --end;
    value.numeric = false;
    value.number = 0;
    if (begin == end) {
        value.kind = FieldValue::Kind::Blank;
        value.text = {};
        return;
    }
    if (end - begin >= 2 && *begin == '"' && end[-1] == '"') {
        ++begin;
        --end;
        if (char* q = static_cast<char*>(std::memchr(begin, '"', std::size_t(end - begin)))) {
            // "" inside stands for one quote; rewritten in place, the value only gets shorter.
            char* out = q;
            for (const char* p = q; p != end; ++p) {
                *out++ = *p;
                if (*p == '"' && p + 1 != end && p[1] == '"')
                    ++p;
            }
            end = out;
        }
        value.text = std::string_view(begin, std::size_t(end - begin));
        if (begin == end) {
            value.kind = FieldValue::Kind::Blank;
            return;
        }
        value.kind = FieldValue::Kind::Text;
        const char* b = begin;
        const char* e = end;
        while (b != e && isBlankChar(*b))
            ++b;
        while (e != b && isBlankChar(e[-1]))
            --e;
        value.numeric = parsePlainNumber(std::string_view(b, std::size_t(e - b)), value.number);
        return;
    }
    value.text = std::string_view(begin, std::size_t(end - begin));
    value.numeric = parsePlainNumber(value.text, value.number);
    value.kind = value.numeric ? FieldValue::Kind::Number : FieldValue::Kind::Text;
}

} // namespace orv
