#include "TestSupport.h"

#include "import/ExtractReader.h"
#include "rules/ImportErrors.h"

#include <gtest/gtest.h>

#include <QStringEncoder>
#include <QTemporaryDir>

#include <string>
#include <vector>

using namespace orv;

namespace {

using Kind = FieldValue::Kind;

// A line of 64 columns: the given values first, then empty ones.
std::string line64(const std::vector<std::string>& values, char sep = ',') {
    std::string s;
    for (int i = 0; i < kExtractColumns; ++i) {
        if (i)
            s += sep;
        if (i < int(values.size()))
            s += values[std::size_t(i)];
    }
    return s;
}

class ExtractReaderTest : public ::testing::Test {
protected:
    QString write(const QByteArray& bytes) {
        const QString path = dir.filePath(QStringLiteral("extract%1.txt").arg(++files));
        test::writeFile(path, bytes);
        return path;
    }
    QString write(const std::string& bytes) {
        return write(QByteArray(bytes.data(), qsizetype(bytes.size())));
    }
    // Every line of a file as read, with its column count.
    std::vector<std::pair<std::string, int>> lines(const QByteArray& bytes,
                                                   std::size_t block = 1 << 20) {
        ExtractReader r(write(bytes), block);
        std::vector<std::pair<std::string, int>> out;
        while (r.next())
            out.emplace_back(std::string(r.line()), r.columnCount());
        return out;
    }

    QTemporaryDir dir;
    int files = 0;
};

using Lines = std::vector<std::pair<std::string, int>>;

TEST_F(ExtractReaderTest, SplitsCommaLinesIntoValues) {
    const std::string text =
        line64({"17", " CA ", "\"012345678\"", "012345678", "", "\"\"", "  ", "-5.5", "1e5",
                "\"O'Brien\"", "\" 42 \"", "\"a\"\"b\"", "\"ab\"cd", "\"", "+3", "12-3456"}) +
        "\r\n";
    ExtractReader r(write(text));
    ASSERT_TRUE(r.next());
    EXPECT_EQ(r.columnCount(), 64);
    EXPECT_EQ(r.separator(), ',');
    EXPECT_EQ(r.lineNumber(), 1);
    ExtractRecord rec;
    ASSERT_TRUE(r.readRecord(rec));

    struct Expect {
        int col;
        Kind kind;
        std::string_view text;
        bool numeric;
        double number;
    };
    const Expect expected[] = {
        {1, Kind::Number, "17", true, 17},
        {2, Kind::Text, "CA", false, 0},              // unquoted values lose their blanks
        {3, Kind::Text, "012345678", true, 12345678}, // quoted keeps the leading zero
        {4, Kind::Number, "012345678", true, 12345678},
        {5, Kind::Blank, "", false, 0},
        {6, Kind::Blank, "", false, 0},
        {7, Kind::Blank, "", false, 0},
        {8, Kind::Number, "-5.5", true, -5.5},
        {9, Kind::Text, "1e5", false, 0},
        {10, Kind::Text, "OBrien", false, 0},
        {11, Kind::Text, " 42 ", true, 42}, // quoted keeps its blanks, still reads as 42
        {12, Kind::Text, "a\"b", false, 0},
        {13, Kind::Text, "\"ab\"cd", false, 0}, // not enclosed in quotes: taken as written
        {14, Kind::Text, "\"", false, 0},
        {15, Kind::Number, "+3", true, 3},
        {16, Kind::Text, "12-3456", false, 0},
        {64, Kind::Blank, "", false, 0},
    };
    for (const Expect& e : expected) {
        const FieldValue& v = rec.col(e.col);
        EXPECT_EQ(v.kind, e.kind) << "column " << e.col;
        EXPECT_EQ(v.text, e.text) << "column " << e.col;
        EXPECT_EQ(v.numeric, e.numeric) << "column " << e.col;
        if (e.numeric) {
            EXPECT_EQ(v.number, e.number) << "column " << e.col;
        }
    }
    EXPECT_FALSE(r.next());
}

// A tab line's values read as a comma line's do. (Which lines are tab lines: LinesAsRead.)
TEST_F(ExtractReaderTest, TabLinesSplitIntoValues) {
    ExtractReader r(write(line64({"17", " \"CA\" ", "3"}, '\t') + "\n"));
    ASSERT_TRUE(r.next());
    EXPECT_EQ(r.separator(), '\t');
    ExtractRecord rec;
    ASSERT_TRUE(r.readRecord(rec));
    EXPECT_EQ(rec.col(2).text, "CA");
    EXPECT_EQ(rec.col(2).kind, Kind::Text);
    EXPECT_EQ(rec.col(3).number, 3);
}

TEST_F(ExtractReaderTest, CountIsTakenOnTheRawLine) {
    // A quoted comma still separates.
    std::vector<std::string> v(64, "1");
    v[2] = "\"Smith, J\"";
    ExtractReader r(write(line64(v) + "\n"));
    ASSERT_TRUE(r.next());
    EXPECT_EQ(r.columnCount(), 65);
    ExtractRecord rec;
    rec.col(1).number = 99;
    EXPECT_FALSE(r.readRecord(rec));
    EXPECT_EQ(rec.col(1).number, 99); // untouched

    EXPECT_EQ(lines(QByteArray(200, ',') + "\n")[0].second, 201);
}

// The bytes of a file and the lines read from it, each with its column count.
TEST_F(ExtractReaderTest, LinesAsRead) {
    const std::pair<QByteArray, Lines> cases[] = {
        // Apostrophes go from the whole line before it is counted.
        {"'17',O'Brien,x'\n", {{"17,OBrien,x", 3}}},
        // A tab separates only on a line without a comma.
        {"a,b\na\tb\n\tb,\n", {{"a,b", 2}, {"a\tb", 2}, {"\tb,", 2}}},
        // CR LF or LF ends a line, the last may have none; a lone CR is no line end.
        {"a,b\r\nc\nd\r\n", {{"a,b", 2}, {"c", 1}, {"d", 1}}},
        {"a\r\nlast", {{"a", 1}, {"last", 1}}},
        {"a\r\nlast\r", {{"a", 1}, {"last", 1}}},
        {"a\rb\n", {{"a\rb", 1}}},
        {"", {}},
        // Blank lines at the end end the file; between records they are lines that fail the
        // count.
        {"a\r\n\r\n\r\n", {{"a", 1}}},
        {"a\n  \n\t\n", {{"a", 1}}},
        {"\r\n", {}},
        {"a\n\nb\n", {{"a", 1}, {"", 1}, {"b", 1}}},
        {"a\r\n\r\n  \r\nb\r\n\r\n", {{"a", 1}, {"", 1}, {"", 1}, {"b", 1}}},
        {"\nb", {{"", 1}, {"b", 1}}},
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(lines(bytes), expected) << bytes.toStdString();

    // Blank lines between records keep their numbers.
    ExtractReader r(write(QByteArray("a\n\n\nb\n")));
    std::vector<std::int64_t> numbers;
    while (r.next())
        numbers.push_back(r.lineNumber());
    EXPECT_EQ(numbers, (std::vector<std::int64_t>{1, 2, 3, 4}));
}

TEST_F(ExtractReaderTest, ByteOrderMarkIsSkipped) {
    ExtractReader r(write(QByteArray("\xEF\xBB\xBF") + QByteArray::fromStdString(line64({"17"}))));
    ASSERT_TRUE(r.next());
    ExtractRecord rec;
    ASSERT_TRUE(r.readRecord(rec));
    EXPECT_EQ(rec.col(1).kind, Kind::Number);
    EXPECT_EQ(rec.col(1).number, 17);
    // Only at the start of the file.
    EXPECT_EQ(lines("a\n\xEF\xBB\xBF"
                    "b\n")[1]
                  .first,
              "\xEF\xBB\xBF"
              "b");
}

TEST_F(ExtractReaderTest, LinesThatAreNotUtf8AreWindows1252) {
    ExtractReader r(write(QByteArray("Jos\xC3\xA9,1\nJos\xE9,O'Neil \x93"
                                     "x\x94\n"
                                     "\x80\x81\n")));
    ASSERT_TRUE(r.next());
    EXPECT_EQ(r.line(), "Jos\xC3\xA9,1");
    EXPECT_FALSE(r.lineWasWindows1252());
    ASSERT_TRUE(r.next());
    EXPECT_TRUE(r.lineWasWindows1252());
    EXPECT_EQ(QString::fromUtf8(r.line().data(), qsizetype(r.line().size())),
              QString::fromUtf8("José,ONeil “x”"));
    EXPECT_EQ(r.columnCount(), 2);
    ASSERT_TRUE(r.next());
    EXPECT_EQ(QString::fromUtf8(r.line().data(), qsizetype(r.line().size())),
              QStringView(u"\u20AC\u0081").toString());

    // Overlong forms and surrogates are not UTF-8 either.
    EXPECT_EQ(lines("\xC0\xAF\n")[0].first, "\xC3\x80\xC2\xAF");
    EXPECT_EQ(lines("\xED\xA0\x80\n")[0].first, "\xC3\xAD\xC2\xA0\xE2\x82\xAC");
}

TEST_F(ExtractReaderTest, LinesAcrossBlocksAndLongerThanABlock) {
    std::string text;
    std::vector<std::string> expected;
    for (int i = 0; i < 500; ++i) {
        std::string l = std::to_string(i) + "," + std::string(std::size_t(i % 157), 'x');
        text += l + (i % 2 ? "\r\n" : "\n");
        expected.push_back(l);
    }
    const std::string huge(1000, 'y');
    text += huge + "\n";
    expected.push_back(huge);

    ExtractReader r(write(text), 64);
    std::vector<std::string> got;
    while (r.next())
        got.emplace_back(r.line());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(r.bytesRead(), r.fileSize());
    EXPECT_EQ(r.fileSize(), std::int64_t(text.size()));
}

TEST_F(ExtractReaderTest, ProgressAdvancesWithTheLines) {
    ExtractReader r(write(QByteArray("aaaa\nbbbb\n")));
    EXPECT_EQ(r.fileSize(), 10);
    ASSERT_TRUE(r.next());
    EXPECT_EQ(r.bytesRead(), 5);
    ASSERT_TRUE(r.next());
    EXPECT_EQ(r.bytesRead(), 10);
}

TEST_F(ExtractReaderTest, MissingOrUnreadableFileThrows) {
    const QString missing = dir.filePath("nope.txt");
    try {
        ExtractReader r(missing);
        FAIL() << "opened a missing file";
    } catch (const ImportFileError& e) {
        EXPECT_TRUE(e.message().contains("nope.txt")) << e.message().toStdString();
    }
    EXPECT_THROW(ExtractReader r(dir.path()), ImportFileError);
}

} // namespace

namespace {

QByteArray encoded(const QString& text, QStringConverter::Encoding encoding) {
    QStringEncoder encode(encoding, QStringConverter::Flag::WriteBom);
    return encode(text);
}

} // namespace

TEST_F(ExtractReaderTest, Utf16FilesReadAsTheirText) {
    // Past a block and the decoder's chunk, with a character outside the basic plane.
    QString text;
    std::vector<std::string> expected;
    for (int i = 0; i < 3000; ++i) {
        const QString l =
            QString::number(i) + QString::fromUtf8(",Zoë 𝄞,'x'") + QString(i % 50, 'y');
        text += l + (i % 2 ? "\r\n" : "\n");
        QString stored = l;
        expected.push_back(stored.remove('\'').toStdString());
    }
    for (const auto encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        const QByteArray bytes = encoded(text, encoding);
        ExtractReader r(write(bytes), 100);
        std::vector<std::string> got;
        while (r.next()) {
            got.emplace_back(r.line());
            EXPECT_FALSE(r.lineWasWindows1252());
        }
        EXPECT_EQ(got, expected);
        EXPECT_EQ(r.bytesRead(), bytes.size());
    }
}

TEST_F(ExtractReaderTest, LineLongerThanAnyRecordIsCutAndFailsTheCount) {
    const std::size_t max = ExtractReader::kMaxLineBytes;
    struct Case {
        const char* name;
        std::string content;
        std::size_t block;
    };
    const std::string record = line64({"1"});
    const Case cases[] = {
        {"commas", std::string(5 * max, ',') + "\n" + record + "\n", 1 << 20},
        {"small blocks", "17," + std::string(max + 10, 'x') + "\r\n" + record + "\n", 4096},
        {"last line", record + "\n\n" + std::string(2 * max, 'z'), 1 << 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExtractReader r(write(c.content), c.block);
        std::vector<std::tuple<std::size_t, int, bool>> got;
        while (r.next())
            got.emplace_back(r.line().size(), r.columnCount(), r.lineTooLong());
        const auto tooLong = std::tuple(max, 0, true);
        const auto fine = std::tuple(record.size(), 64, false);
        if (c.content.starts_with(record))
            EXPECT_EQ(got, (std::vector{fine, std::tuple(std::size_t(0), 1, false), tooLong}));
        else
            EXPECT_EQ(got, (std::vector{tooLong, fine}));
    }
}

TEST_F(ExtractReaderTest, TextAndControlCharacters) {
    struct Case {
        QByteArray content;
        bool text;
    };
    for (const Case& c : {Case{"17,CA\t\x1A\n", true}, Case{QByteArray("1\0,2\n", 5), false},
                          Case{"\x01\x02,x\n", false}}) {
        ExtractReader r(write(c.content));
        ASSERT_TRUE(r.next());
        EXPECT_EQ(r.lineLooksLikeText(), c.text) << c.content.toHex().toStdString();
    }
}

TEST_F(ExtractReaderTest, ReadsTheFileAsItWasWhenOpened) {
    const QString path = write(QByteArray("a,b\nc,d\n"));
    ExtractReader r(path);
    QFile grow(path);
    ASSERT_TRUE(grow.open(QIODevice::Append));
    grow.write("e,f,g,h\nmore\n");
    grow.close();
    std::vector<std::string> got;
    while (r.next())
        got.emplace_back(r.line());
    EXPECT_EQ(got, (std::vector<std::string>{"a,b", "c,d"}));
    EXPECT_EQ(r.bytesRead(), 8);
}
