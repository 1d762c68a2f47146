#include "RecordBuilder.h"

#include "rules/ImportErrors.h"
#include "rules/RecordRules.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace orv;
using test::RecordBuilder;

namespace {

struct YmdCase {
    std::string_view text;
    QDate expected; // null: not a valid date
};

void PrintTo(const YmdCase& c, std::ostream* os) {
    *os << "'" << c.text << "'";
}

class ImportYmdDate : public ::testing::TestWithParam<YmdCase> {};

TEST_P(ImportYmdDate, Parses) {
    const YmdCase& c = GetParam();
    EXPECT_EQ(ParseYmdDate(c.text), c.expected);
    EXPECT_EQ(ParseYmdDate(QString::fromUtf8(c.text.data(), qsizetype(c.text.size()))), c.expected);
    EXPECT_EQ(parseYmdKey(c.text), dateToYmdKey(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImportYmdDate,
    ::testing::Values(YmdCase{"20061015", QDate(2006, 10, 15)},
                      YmdCase{"2006101", QDate(2006, 10, 1)}, // a one-digit day
                      YmdCase{"2006121", QDate(2006, 12, 1)}, YmdCase{"2006120", {}},
                      YmdCase{"20061301", {}}, YmdCase{"00000000", {}}, YmdCase{"", {}},
                      YmdCase{"20060230", {}}, YmdCase{"20040229", QDate(2004, 2, 29)},
                      YmdCase{"19000229", {}}, YmdCase{"20000229", QDate(2000, 2, 29)},
                      YmdCase{"20061000", {}}, YmdCase{"20060132", {}},
                      YmdCase{"30001231", QDate(3000, 12, 31)}, YmdCase{"30010101", {}},
                      YmdCase{"00010101", QDate(1, 1, 1)}, YmdCase{"200610", {}},
                      YmdCase{"2006", {}}, YmdCase{"2006-10-15", {}}, YmdCase{"10/15/2006", {}},
                      YmdCase{"2006101x", {}}, YmdCase{"200610150", {}}, YmdCase{"abcdefgh", {}}));

TEST(ImportYmdDate, NumbersAreParsedByTheirTextForm) {
    RecordBuilder b;
    b.set(4, "020061015").set(19, "+20061015").set(21, "20061015.0").set(24, "2006101");
    b.quoted(25, "020061015").set(26, "20061015.5");
    EXPECT_EQ(ParseYmdDate(b.record().col(4)), QDate(2006, 10, 15));
    EXPECT_EQ(ParseYmdDate(b.record().col(19)), QDate(2006, 10, 15));
    EXPECT_EQ(ParseYmdDate(b.record().col(21)), QDate(2006, 10, 15));
    EXPECT_EQ(ParseYmdDate(b.record().col(24)), QDate(2006, 10, 1));
    EXPECT_EQ(ParseYmdDate(b.record().col(25)), QDate()); // text keeps its leading zero
    EXPECT_EQ(ParseYmdDate(b.record().col(26)), QDate());
    b.set(4, "");
    EXPECT_EQ(ParseYmdDate(b.record().col(4)), QDate());
}

TEST(ImportYmdDate, KeysOrderLikeDates) {
    EXPECT_LT(parseYmdKey("20061231"), parseYmdKey("20070101"));
    EXPECT_LT(kZeroDateKey, parseYmdKey("19000101"));
    EXPECT_GT(kZeroDateKey, parseYmdKey("18991229"));
    EXPECT_EQ(ymdKeyToDate(0), QDate());
    EXPECT_EQ(dateToYmdKey(QDate()), 0);
}

TEST(ImportRecordRules, CountChar) {
    EXPECT_EQ(CountChar(std::string_view("a,b,,c"), ','), 3);
    EXPECT_EQ(CountChar(std::string_view(""), ','), 0);
    EXPECT_EQ(CountChar(std::string_view("a\tb"), ','), 0);
    EXPECT_EQ(CountChar(QStringView(u"a\tb\t"), QChar('\t')), 2);
}

TEST(ImportRecordRules, GetDelimitedField) {
    struct Case {
        std::string_view text;
        int n;
        std::string_view expected;
    };
    const Case cases[] = {{"17,CA,123", 1, "17"},  {"17,CA,123", 2, "CA"}, {"17,CA,123", 3, "123"},
                          {"17,CA,123", 4, ""},    {"17,CA,123", 0, ""},   {",CA", 1, ""},
                          {"17\tCA", 1, "17\tCA"}, // a tab line is one comma-field
                          {"a,,b", 2, ""},         {"a,,b", 3, "b"},       {"", 1, ""},
                          {" 17 ,x", 1, " 17 "}};
    for (const Case& c : cases) {
        EXPECT_EQ(GetDelimitedField(c.text, ',', c.n), c.expected) << c.text << " " << c.n;
        EXPECT_EQ(GetDelimitedField(QString::fromUtf8(c.text.data(), qsizetype(c.text.size())),
                                    QChar(','), c.n),
                  QString::fromUtf8(c.expected.data(), qsizetype(c.expected.size())));
    }
}

TEST(ImportRecordRules, PlainNumbers) {
    struct Case {
        std::string_view text;
        bool number;
        double value;
    };
    const Case cases[] = {
        {"0", true, 0},
        {"012345678", true, 12345678},
        {"-5", true, -5},
        {"+2", true, 2},
        {"500.50", true, 500.5},
        {"999999.99", true, 999999.99},
        {"12.", true, 12},
        {".5", true, 0.5},
        {"-.25", true, -0.25},
        {"1234567890123456789", true, 1234567890123456789.0},
        {"0.1234567890123456789", true, 0.1234567890123456789},
        {"", false, 0},
        {".", false, 0},
        {"-", false, 0},
        {"1e5", false, 0},
        {"1 2", false, 0},
        {" 12", false, 0},
        {"12-3456", false, 0},
        {"$5", false, 0},
        {"1,5", false, 0},
        {"inf", false, 0},
        {"nan", false, 0},
        {"0x10", false, 0},
        {"--1", false, 0},
    };
    for (const Case& c : cases) {
        double v = -1;
        EXPECT_EQ(parsePlainNumber(c.text, v), c.number) << c.text;
        if (c.number) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
    // The short path must round like the library does.
    for (std::string_view s : {"0.1", "0.3", "8500.07", "123456.789012345", "99999999999999.9"}) {
        double fast = 0;
        ASSERT_TRUE(parsePlainNumber(s, fast));
        EXPECT_EQ(fast, std::strtod(std::string(s).c_str(), nullptr)) << s;
    }
}

TEST(ImportRecordRules, NumberText) {
    NumberText buf;
    EXPECT_EQ(formatNumber(12345678, buf), "12345678");
    EXPECT_EQ(formatNumber(-0.0, buf), "0");
    EXPECT_EQ(formatNumber(500.5, buf), "500.5");
    EXPECT_EQ(formatNumber(0.1 + 0.2, buf), "0.3");
    EXPECT_EQ(formatNumber(-7, buf), "-7");
    RecordBuilder b;
    b.set({{1, "0017"}, {3, "012345678"}, {52, "500.50"}, {62, ""}});
    EXPECT_EQ(valueText(b.record().col(1)), "17");
    EXPECT_EQ(valueText(b.record().col(3)), "12345678");
    EXPECT_EQ(valueText(b.record().col(52)), "500.5");
    EXPECT_EQ(valueText(b.record().col(62)), "");
    b.quoted(3, "012345678");
    EXPECT_EQ(valueText(b.record().col(3)), "012345678");
}

struct WeightCase {
    std::string_view emp1, emp3, wages1, wages3;
    int weight;
};

void PrintTo(const WeightCase& c, std::ostream* os) {
    *os << "45=" << c.emp1 << " 50=" << c.emp3 << " 55=" << c.wages1 << " 57=" << c.wages3;
}

class ImportRecordWeight : public ::testing::TestWithParam<WeightCase> {};

TEST_P(ImportRecordWeight, Classifies) {
    const WeightCase& c = GetParam();
    RecordBuilder b;
    b.set({{45, c.emp1}, {50, c.emp3}, {55, c.wages1}, {57, c.wages3}});
    EXPECT_EQ(ComputeRecordWeight(b), c.weight);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImportRecordWeight,
    ::testing::Values(WeightCase{"2", "1", "500", "700", 1}, WeightCase{"2", "", "", "", 1},
                      WeightCase{"1", "1", "500", "700", 2}, WeightCase{"1", "", "0", "0", 2},
                      WeightCase{"1", "2", "500", "0", 2}, WeightCase{"1", "1", "0", "", 3},
                      WeightCase{"1", "1", "", "700", 3}, WeightCase{"1", "2", "0", "0", 3},
                      WeightCase{"", "1", "500", "0", 3}, WeightCase{"", "2", "0", "0", 0},
                      WeightCase{"", "1", "500", "", 3}, WeightCase{"", "2", "", "", 0},
                      WeightCase{"1", "1", "500", "700.5", 2}));

TEST(ImportRecordWeightText, TextItMustCompareStops) {
    RecordBuilder b;
    b.set({{45, "2"}, {55, "n/a"}});
    EXPECT_EQ(ComputeRecordWeight(b), 1); // the wages are never looked at
    b.set(45, "1");
    EXPECT_THROW(ComputeRecordWeight(b), TypeMismatch);
    b.set(55, "500").quoted(57, "700");
    EXPECT_EQ(ComputeRecordWeight(b), 2);
}

} // namespace
