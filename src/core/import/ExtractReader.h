#pragma once

#include "db/Error.h"
#include "rules/RecordLayout.h"

#include <QFile>
#include <QString>
#include <QStringDecoder>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace orv {

// The extract cannot be opened or read. Thrown before anything is changed when opening fails.
class ImportFileError : public Error {
public:
    using Error::Error;
};

// Reads the participant extract line by line.
//
// A line ends at LF (a CR before it is dropped). Every "'" is removed. The separator is the
// comma, or the tab when the line has no comma; the column count is separators + 1 on the whole
// line, quotes or not. A UTF-8 byte-order mark at the start is skipped; a file that starts with a
// UTF-16 byte-order mark (a spreadsheet's "Unicode text") is read as UTF-16 of that byte order;
// otherwise a line that is not valid UTF-8 is taken as Windows-1252 and converted. Blank lines
// (nothing but blanks) after the last record end the file; one between records is returned as an
// empty line.
//
// Only the bytes the file held when it was opened are read: a file still being written ends
// where it ended then. A line longer than kMaxLineBytes is no record: its start is kept (for the
// obs of its entry), the rest skipped unread into memory, and its column count is 0.
//
// Values: a field enclosed in double quotes is text (a doubled quote inside stands for one);
// otherwise it is trimmed of blanks, and is a Number when it is a plain decimal (see
// parsePlainNumber), else Text. An empty field is Blank.
//
// Views returned by line() and readRecord() point into the reader's buffers: valid until next().
class ExtractReader {
public:
    // Far longer than any record can be, yet a bounded amount of memory.
    static constexpr std::size_t kMaxLineBytes = std::size_t(1) << 20;

    // Throws ImportFileError when the file cannot be opened.
    explicit ExtractReader(const QString& path, std::size_t blockSize = 1 << 20);
    ~ExtractReader();
    ExtractReader(const ExtractReader&) = delete;
    ExtractReader& operator=(const ExtractReader&) = delete;

    // Moves to the next line; false at the end of the file. Throws ImportFileError on a read error.
    bool next();

    std::string_view line() const { return mLine; }
    int columnCount() const { return mColumns; }
    char separator() const { return mSeparator; }
    bool lineWasWindows1252() const { return mWindows1252; }
    // The line was longer than kMaxLineBytes; line() holds its start only.
    bool lineTooLong() const { return mTooLong; }
    // No control characters other than tabs: what a text file holds, and a binary one rarely.
    bool lineLooksLikeText() const;
    // 1 for the first line.
    std::int64_t lineNumber() const { return mLineNumber; }
    // Bytes of the file consumed so far, against fileSize(), for a progress bar.
    std::int64_t bytesRead() const;
    std::int64_t fileSize() const { return mFileSize; }
    const QString& path() const { return mPath; }

    // Splits the current line into record. Returns false, leaving record alone, when the line
    // does not have kExtractColumns columns.
    bool readRecord(ExtractRecord& record);

private:
    enum class Encoding { Bytes, Utf16LE, Utf16BE };

    bool nextRawLine(char*& begin, char*& end, bool& tooLong);
    void takeLine(char* begin, char* end, bool tooLong);
    // Fills `to` with up to `room` bytes of UTF-8 (or the file's own bytes); 0 at the end.
    std::size_t readBlock(char* to, std::size_t room);
    std::size_t readRaw(char* to, std::size_t room);
    void detectEncoding();
    void countColumns(char separator);
    void readField(char* begin, char* end, FieldValue& value);
    [[noreturn]] void failRead();

    QString mPath;
    QFile mFile;
    std::int64_t mFileSize = 0;
    std::unique_ptr<char[]> mBuffer;
    std::size_t mCapacity = 0;
    std::size_t mPos = 0;           // start of the unread data
    std::size_t mEnd = 0;           // end of the data in the buffer
    std::int64_t mBufferOffset = 0; // file offset of mBuffer[0]
    bool mEof = false;
    bool mSkipRest = false; // the rest of a line too long to keep is still to skip

    std::int64_t mLimit = -1;  // bytes to read at most; -1 for a pipe
    std::int64_t mRawRead = 0; // bytes taken from the file
    Encoding mEncoding = Encoding::Bytes;
    std::string mHead; // bytes read while looking for a byte-order mark
    std::unique_ptr<QStringDecoder> mDecoder;
    std::string mDecoded; // UTF-8 not yet handed out
    std::size_t mDecodedPos = 0;
    std::int64_t mDecodedTotal = 0; // UTF-8 bytes made so far

    std::string mScratch; // a converted Windows-1252 line
    char* mLineData = nullptr;
    std::string_view mLine;
    bool mWindows1252 = false;
    bool mTooLong = false;
    std::int64_t mLineNumber = 0;
    int mColumns = 0;
    char mSeparator = ',';
    // Offsets of the separators that end columns 1 to kExtractColumns - 1.
    std::array<std::uint32_t, kExtractColumns - 1> mSeparators{};

    // A run of blank lines is only known to be between records once a non-blank line follows.
    std::int64_t mPendingBlankLines = 0;
    char* mStashBegin = nullptr;
    char* mStashEnd = nullptr;
    bool mStashTooLong = false;
};

} // namespace orv
