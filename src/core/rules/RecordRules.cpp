#include "rules/RecordRules.h"

#include "rules/ImportErrors.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

namespace orv {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (!isDigit(c))
            return false;
    return true;
}

int digitsValue(std::string_view s) {
    int v = 0;
    for (char c : s)
        v = v * 10 + (c - '0');
    return v;
}

// Leading number of a piece of text, 0 when it does not start with one; like the Val of the
// tools the agencies use, blanks before it are skipped.
long long leadingNumber(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    long long v = 0;
    for (; i < s.size() && isDigit(s[i]); ++i)
        if (v < 100000000)
            v = v * 10 + (s[i] - '0');
    return negative ? -v : v;
}

// VB-like Left/Mid/Right that never run past the text.
std::string_view mid(std::string_view s, std::size_t start, std::size_t length) {
    if (start >= s.size())
        return {};
    return s.substr(start, length);
}

bool isLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

inline bool isCalendarDate(long long y, long long m, long long d) {
    return y >= 1 && m >= 1 && m <= 12 && d >= 1 && d <= daysInMonth(int(y), int(m));
}

// Text a number value is parsed from: its own text when that is already the number's plain
// form, otherwise the formatted number (so +20061015 and 020061015 read as 20061015).
std::string_view numberTextOf(const FieldValue& v, NumberText& buffer) {
    const std::string_view t = v.text;
    if (allDigits(t) && (t.size() == 1 || t[0] != '0'))
        return t;
    return formatNumber(v.number, buffer);
}

std::optional<double> comparable(const ExtractRecord& record, Col col) {
    const FieldValue& v = record.col(col);
    if (v.isBlank())
        return std::nullopt;
    if (!v.numeric)
        throw TypeMismatch(pos(col));
    return v.number;
}

bool greater(const std::optional<double>& a, double b) {
    return a && *a > b;
}

bool equals(const std::optional<double>& a, double b) {
    return a && *a == b;
}

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

} // namespace

YmdKey parseYmdKey(std::string_view s) {
    // The usual yyyymmdd: no need for the general rule below.
    if (s.size() == 8 && allDigits(s)) {
        const int y = digitsValue(s.substr(0, 4));
        const int m = digitsValue(s.substr(4, 2));
        const int d = digitsValue(s.substr(6, 2));
        if (y < 3001 && isCalendarDate(y, m, d))
            return ymdKey(y, m, d);
        return 0;
    }
    const long long year = leadingNumber(mid(s, 0, 4));
    const long long month = leadingNumber(mid(s, 4, 2));
    const long long day = leadingNumber(s.size() >= 2 ? s.substr(s.size() - 2) : s);
    if (!(year > 0 && month > 0 && day > 0 && month < 13 && day < 32 && year < 3001))
        return 0;
    // The date is month, day and year as written; for a 7-character text the day above came
    // from the last two characters, which is only a gate: 2006121 is 1 December, not the 21st.
    const std::string_view mm = mid(s, 4, 2), dd = mid(s, 6, 2), yyyy = mid(s, 0, 4);
    if (!allDigits(mm) || !allDigits(dd) || !allDigits(yyyy))
        return 0;
    const int y = digitsValue(yyyy), m = digitsValue(mm), d = digitsValue(dd);
    return isCalendarDate(y, m, d) ? ymdKey(y, m, d) : 0;
}

YmdKey parseYmdKey(const FieldValue& value) {
    // A whole number of eight digits is written as exactly those digits.
    if (value.kind == FieldValue::Kind::Number && value.number >= 1e7 && value.number < 1e8) {
        const int n = static_cast<int>(value.number);
        if (n == value.number) {
            const int y = n / 10000, m = n / 100 % 100, d = n % 100;
            return y < 3001 && isCalendarDate(y, m, d) ? ymdKey(y, m, d) : 0;
        }
    }
    switch (value.kind) {
    case FieldValue::Kind::Blank:
        return 0;
    case FieldValue::Kind::Text:
        return parseYmdKey(value.text);
    case FieldValue::Kind::Number: {
        NumberText buffer;
        return parseYmdKey(numberTextOf(value, buffer));
    }
    }
    return 0;
}

QDate ymdKeyToDate(YmdKey key) {
    if (key <= 0)
        return {};
    return QDate(key / 10000, key / 100 % 100, key % 100);
}

YmdKey dateToYmdKey(const QDate& date) {
    if (!date.isValid())
        return 0;
    return ymdKey(date.year(), date.month(), date.day());
}

QDate ParseYmdDate(std::string_view text) {
    return ymdKeyToDate(parseYmdKey(text));
}

QDate ParseYmdDate(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return ParseYmdDate(std::string_view(utf8.constData(), std::size_t(utf8.size())));
}

QDate ParseYmdDate(const FieldValue& value) {
    return ymdKeyToDate(parseYmdKey(value));
}

int CountChar(std::string_view text, char c) {
    int n = 0;
    for (char x : text)
        n += x == c;
    return n;
}

int CountChar(QStringView text, QChar c) {
    return int(text.count(c));
}

std::string_view GetDelimitedField(std::string_view text, char delimiter, int n) {
    if (n < 1)
        return {};
    std::size_t start = 0;
    for (int i = 1; i < n; ++i) {
        const std::size_t at = text.find(delimiter, start);
        if (at == std::string_view::npos)
            return {};
        start = at + 1;
    }
    const std::size_t end = text.find(delimiter, start);
    return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

QString GetDelimitedField(const QString& text, QChar delimiter, int n) {
    if (n < 1)
        return {};
    qsizetype start = 0;
    for (int i = 1; i < n; ++i) {
        const qsizetype at = text.indexOf(delimiter, start);
        if (at < 0)
            return {};
        start = at + 1;
    }
    const qsizetype end = text.indexOf(delimiter, start);
    return text.mid(start, end < 0 ? -1 : end - start);
}

bool parsePlainNumberGeneral(std::string_view text, double& number) {
    const char* p = text.data();
    const char* const end = p + text.size();
    if (p == end)
        return false;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    const char* const digits = p;
    std::uint64_t mantissa = 0;
    int intDigits = 0, fracDigits = 0;
    for (; p != end && isDigit(*p); ++p, ++intDigits)
        mantissa = mantissa * 10 + std::uint64_t(*p - '0');
    if (p != end && *p == '.') {
        for (++p; p != end && isDigit(*p); ++p, ++fracDigits)
            mantissa = mantissa * 10 + std::uint64_t(*p - '0');
    }
    if (p != end || intDigits + fracDigits == 0)
        return false;
    double v;
    if (intDigits + fracDigits <= 15) {
        // Exact mantissa and power of ten: one division rounds correctly.
        v = double(mantissa);
        if (fracDigits)
            v /= kPow10[fracDigits];
    } else {
        const auto r = std::from_chars(digits, end, v, std::chars_format::fixed);
        if (r.ec != std::errc() || r.ptr != end)
            return false;
    }
    number = negative ? -v : v;
    return true;
}

std::string_view formatNumber(double number, NumberText& buffer) {
    char* const first = buffer.data();
    char* const last = first + buffer.size();
    std::to_chars_result r;
    if (number == std::trunc(number) && std::fabs(number) < 1e15)
        r = std::to_chars(first, last, static_cast<long long>(number));
    else
        r = std::to_chars(first, last, number, std::chars_format::general, 15);
    return std::string_view(first, std::size_t(r.ptr - first));
}

QString valueText(const FieldValue& value) {
    switch (value.kind) {
    case FieldValue::Kind::Blank:
        return {};
    case FieldValue::Kind::Text:
        return QString::fromUtf8(value.text.data(), qsizetype(value.text.size()));
    case FieldValue::Kind::Number: {
        NumberText buffer;
        const std::string_view t = formatNumber(value.number, buffer);
        return QString::fromLatin1(t.data(), qsizetype(t.size()));
    }
    }
    return {};
}

int ComputeRecordWeight(const ExtractRecord& record) {
    const auto employed1 = comparable(record, Col::EmpQtr1);
    if (greater(employed1, 1))
        return 1;
    const auto employed3 = comparable(record, Col::EmpQtr3);
    const auto wages1 = comparable(record, Col::Earn1QTRAfterExit);
    const auto wages3 = comparable(record, Col::Earn3QTRAfterExit);
    if (!employed3 || (greater(employed3, 1) && greater(wages1, 0)) ||
        (greater(wages1, 0) && greater(wages3, 0)))
        return 2;
    if ((equals(employed1, 1) && (!wages1 || equals(wages1, 0))) ||
        (equals(employed3, 1) && (!wages3 || equals(wages3, 0))))
        return 3;
    return 0;
}

std::optional<int> ruleWeight(const std::optional<double>& employed1,
                              const std::optional<double>& wages1,
                              const std::optional<double>& employed3,
                              const std::optional<double>& wages3) {
    using OptNumber = std::optional<double>;
    // A comparison with Null is never true, and the rules hold no negation: Null counts as
    // false throughout, as in the statement.
    const auto eq = [](const OptNumber& v, double x) { return v && *v == x; };
    const auto gt = [](const OptNumber& v, double x) { return v && *v > x; };
    const auto zeroOrNull = [](const OptNumber& v) { return !v || *v == 0; };
    if (employed1 && *employed1 >= 2)
        return 1;
    if (eq(employed1, 1) && gt(wages1, 0) &&
        ((eq(employed3, 1) && gt(wages3, 0)) || gt(employed3, 1) || !employed3))
        return 2;
    if ((eq(employed1, 1) && zeroOrNull(wages1)) ||
        (eq(employed1, 1) && eq(employed3, 1) && zeroOrNull(wages3)))
        return 3;
    return std::nullopt;
}

} // namespace orv
