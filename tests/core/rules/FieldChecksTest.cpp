#include "RecordBuilder.h"

#include "rules/FieldChecks.h"

#include <gtest/gtest.h>

using namespace orv;
using test::RecordBuilder;

namespace {

const CheckContext& context() {
    static const CheckContext ctx({"CA", "NY", "TX"}, QDate(2006, 10, 1), QDate(2007, 9, 30));
    return ctx;
}

struct Outcome {
    QStringList messages;
    QString state;
};

Outcome check(const ExtractRecord& record, QString state = {}) {
    Outcome out;
    out.state = std::move(state);
    const int n = runFieldChecks(
        record, context(), [&](const QString& m) { out.messages << m; }, out.state);
    EXPECT_EQ(n, out.messages.size());
    return out;
}

// One value in one column and the messages it must give, in order.
struct FieldCase {
    int col;
    std::string_view value;
    QStringList expected;
};

void PrintTo(const FieldCase& c, std::ostream* os) {
    *os << "column " << c.col << " = '" << c.value << "'";
}

class FieldCheckCases : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldCheckCases, GiveExactlyTheirMessages) {
    const FieldCase& c = GetParam();
    RecordBuilder b;
    b.set(c.col, c.value);
    EXPECT_LIST_EQ(check(b).messages, c.expected);
}

const QString kGender = "Gender must be 0,1,2 or blank.";
const QString kVetRange = "Eligible Veteran Status must be 1,2,3 or 4.";
const QString kGrade = "Highest School Grade Completed must be greater than or equal to 0 and less "
                       "than or equal to 17 or 87,88,89,90 or 91";
const QString kWaiver = "Weiver from Training Requirement must be greater than or equal to 0 and "
                        "less than or equal to 7.";
const QString kCoenroll = "Other Federal Co-Enrollement must be greater than or equal to 0 and "
                          "less than or equal to 5.";
const QString kReason = "Other Reasons for Exit must be greater than or equal to 0 and less than "
                        "or equal to 5 or 98 or 99.";
const QString kType1 = "Type of Employment Match 1st Quarter After Exit Quarter must be greater "
                       "than or equal to 0 and less than or equal to 5.";
const QString kType2 = "Type of Employment Match 2nd Quarter After Exit Quarter must be greater "
                       "than or equal to 0 and less than or equal to 5.";
const QString kType3 = "Type of Employment Match 3rd Quarter After Exit Quarter must be greater "
                       "than or equal to 0 and less than or equal to 5.";
const QString kDateTail = " must be a valid date and or the date must be in yyyymmdd date format.";

// Blank where a value is required: only the blank message, never the range or date one.
INSTANTIATE_TEST_SUITE_P(
    ImportFieldBlank, FieldCheckCases,
    ::testing::Values(
        FieldCase{1, "", {"Obs cannot be Blank"}},
        FieldCase{2, "", {"State FIPS code cannot be Blank"}},
        FieldCase{3, "", {"Individual identifier cannot be Blank"}},
        FieldCase{4, "", {"Date of birth cannot be Blank"}},
        FieldCase{13, "", {"Eligible Veteran Status cannot be blank."}},
        FieldCase{15, "", {"Limited English Language Proficiency cannot be Blank"}},
        FieldCase{16, "", {"UC Eligible Status cannot be Blank"}},
        FieldCase{17, "", {"Pell Grant Receipient cannot be Blank"}},
        FieldCase{18, "", {"Highest School Grade Completed cannot be Blank"}},
        FieldCase{19, "", {"Most Recent Date of Qualifying Separation cannot be Blank"}},
        FieldCase{
            20, "", {"Tenure with Employer at Most Recent Qualifying Separation cannot be Blank"}},
        FieldCase{21, "", {"Date of Application cannot be Blank"}},
        FieldCase{22, "", {"Petition Number cannot be Blank"}},
        FieldCase{23, "", {"Program Type cannot be Blank"}},
        FieldCase{24, "", {"Date of Program Participation cannot be Blank"}},
        FieldCase{35, "", {"Basic Trade Readjustment Allowances cannot be Blank"}},
        FieldCase{36, "", {"Additional Basic Trade Readjustment Allowances cannot be Blank"}},
        FieldCase{37, "", {"Remedial Trade Readjustment Allowances cannot be Blank"}},
        FieldCase{38, "", {"Waiver from Training Requirement cannot be Blank"}},
        FieldCase{39, "", {"Job Search Allowance cannot be Blank"}},
        FieldCase{40, "", {"Relocation Allowance cannot be Blank"}},
        FieldCase{42, "", {"Other Federal Co-Enrollement cannot be Blank"}},
        FieldCase{43, "", {"Date of Exit cannot be Blank"}},
        FieldCase{45, "", {"Employed in 1st Quarter After Exit Quarter cannot be Blank"}},
        FieldCase{48, "", {"Employed in 2nd Quarter After Exit Quarter cannot be Blank"}},
        FieldCase{50, "", {"Employed in 3rd Quarter After Exit Quarter cannot be Blank"}},
        FieldCase{58, "", {"Recalled by Layoff Employer cannot be Blank"}},
        FieldCase{59, "", {"Participated in AORV cannot be Blank"}}));

// Blank allowed: the columns with only a range, date or numeric test, and the unchecked ones.
INSTANTIATE_TEST_SUITE_P(
    ImportFieldBlankAllowed, FieldCheckCases,
    ::testing::Values(FieldCase{5, "", {}}, FieldCase{6, "", {}}, FieldCase{7, "", {}},
                      FieldCase{8, "", {}}, FieldCase{12, "", {}}, FieldCase{14, "", {}},
                      FieldCase{25, "", {}}, FieldCase{26, "", {}}, FieldCase{27, "", {}},
                      FieldCase{29, "", {}}, FieldCase{30, "", {}}, FieldCase{31, "", {}},
                      FieldCase{34, "", {}}, FieldCase{41, "", {}}, FieldCase{44, "", {}},
                      FieldCase{46, "", {}}, FieldCase{47, "", {}}, FieldCase{49, "", {}},
                      FieldCase{51, "", {}}, FieldCase{52, "", {}}, FieldCase{57, "", {}},
                      FieldCase{60, "", {}}, FieldCase{63, "", {}}, FieldCase{64, "", {}}));

// Ranges: just outside, at both ends, and fractions (compared as numbers).
INSTANTIATE_TEST_SUITE_P(
    ImportFieldRange, FieldCheckCases,
    ::testing::Values(
        FieldCase{5, "-1", {kGender}}, FieldCase{5, "0", {}}, FieldCase{5, "2", {}},
        FieldCase{5, "3", {kGender}}, FieldCase{5, "1.5", {}}, FieldCase{5, "2.01", {kGender}},
        FieldCase{6, "3", {"Individual with Disability must be 0,1,2 or blank."}},
        FieldCase{7, "3", {"Ethnicity Hispanic/Latino must be 0,1,2 or blank."}},
        FieldCase{8, "2", {"American Indian or Alaska Native must be 0,1 or blank."}},
        FieldCase{8, "1", {}},
        FieldCase{8, "-1", {"American Indian or Alaska Native must be 0,1 or blank."}},
        FieldCase{9, "2", {"Asian must be 0,1 or blank."}},
        FieldCase{10, "2", {"Black or African American must be 0,1 or blank."}},
        FieldCase{11, "2", {"Hawaiian Native or other Pacific Islander must be 0,1 or blank."}},
        FieldCase{12, "2", {"White must be 0,1 or blank."}}, FieldCase{13, "0", {kVetRange}},
        FieldCase{13, "4", {}}, FieldCase{13, "5", {kVetRange}},
        FieldCase{14, "0", {"Employment Status must be 1,2 or 3."}}, FieldCase{14, "3", {}},
        FieldCase{14, "4", {"Employment Status must be 1,2 or 3."}},
        FieldCase{15, "0", {"Limited English Language Proficiency must be 1 or 2."}},
        FieldCase{15, "3", {"Limited English Language Proficiency must be 1 or 2."}},
        FieldCase{16, "5", {"UC Eligible Status must be 1,2,3 or 4."}},
        FieldCase{17, "3", {"Pell Grant Recipient must be 1 or 2."}}, FieldCase{18, "-1", {kGrade}},
        FieldCase{18, "0", {}}, FieldCase{18, "17", {}}, FieldCase{18, "18", {kGrade}},
        FieldCase{18, "86", {kGrade}}, FieldCase{18, "87", {}}, FieldCase{18, "88", {}},
        FieldCase{18, "91", {}}, FieldCase{18, "92", {kGrade}},
        FieldCase{23, "0", {"Program Type must be 1,2 or 3."}},
        FieldCase{23, "4", {"Program Type must be 1,2 or 3."}},
        FieldCase{27, "3", {"Training Completed must be 0,1 or 2."}}, FieldCase{27, "0", {}},
        FieldCase{28, "3", {"Travel While in Training must be 0,1 or 2."}},
        FieldCase{29, "-1", {"Subsistence While in Training must be 0,1 or 2."}},
        FieldCase{31, "3", {"Received Occupational Skills (classroom) Training must be 0,1 or 2."}},
        FieldCase{32, "3", {"Received On-the-Job Training must be 0,1 or 2."}},
        FieldCase{33, "3", {"Received Remedial Training must be 0,1 or 2."}},
        FieldCase{34, "3", {"Received Customized Training must be 0,1 or 2."}},
        FieldCase{35, "0", {"Basic Trade Readjustment Allowances must be 1 or 2."}},
        FieldCase{36, "3", {"Additional Basic Trade Readjustment Allowances must be 1 or 2."}},
        FieldCase{37, "3", {"Remedial Trade Readjustment Allowances must be 1 or 2."}},
        FieldCase{38, "-1", {kWaiver}}, FieldCase{38, "7", {}}, FieldCase{38, "8", {kWaiver}},
        FieldCase{39, "3", {"Job Search Allowance must be 1 or 2."}},
        FieldCase{40, "3", {"Relocation Allowance must be 1 or 2."}},
        FieldCase{42, "-1", {kCoenroll}}, FieldCase{42, "5", {}}, FieldCase{42, "6", {kCoenroll}},
        FieldCase{44, "-1", {kReason}}, FieldCase{44, "5", {}}, FieldCase{44, "6", {kReason}},
        FieldCase{44, "97", {kReason}}, FieldCase{44, "98", {}}, FieldCase{44, "99", {}},
        FieldCase{44, "100", {kReason}},
        FieldCase{45, "3", {"Employed in 1st Quarter After Exit Quarter must be 1 or 2."}},
        FieldCase{46, "-1", {kType1}}, FieldCase{46, "5", {}}, FieldCase{46, "6", {kType1}},
        FieldCase{48, "0", {"Employed in 2nd Quarter After Exit Quarter must be 1 or 2."}},
        FieldCase{49, "6", {kType2}}, FieldCase{49, "0", {}},
        FieldCase{50, "3", {"Employed in 3rd Quarter After Exit Quarter must be 1 or 2."}},
        FieldCase{51, "6", {kType3}},
        FieldCase{58, "3", {"Recalled by Layoff Employer must be 1 or 2."}},
        FieldCase{59, "0", {"Participated in AORV must be 1 or 2."}}));

// Dates: calendar validity, and text that is no date is an error, not a stop.
INSTANTIATE_TEST_SUITE_P(
    ImportFieldDate, FieldCheckCases,
    ::testing::Values(
        FieldCase{4, "20060230", {"Date of birth" + kDateTail}}, FieldCase{4, "20040229", {}},
        FieldCase{4, "19700100", {"Date of birth" + kDateTail}},
        FieldCase{4, "abc", {"Date of birth" + kDateTail}},
        FieldCase{19, "20061301", {"Most Recent Date of Qualifying Separation" + kDateTail}},
        FieldCase{21, "00000000", {"Date of Application" + kDateTail}},
        FieldCase{24, "2006-03-01", {"Date of Program Participation" + kDateTail}},
        FieldCase{25, "20060431", {"Date Entered Training" + kDateTail}},
        FieldCase{26, "1", {"Date Completed, or Withdrew from, Training" + kDateTail}},
        FieldCase{41, "30010101", {"Date of WIA Title IB Participation" + kDateTail}},
        FieldCase{41, "30001231", {}}, FieldCase{43, "2006101", {}},
        FieldCase{43, "20061032", {"Date of Exit" + kDateTail}}));

// Occupational Code: any number, quoted or not; anything else is not numeric.
INSTANTIATE_TEST_SUITE_P(
    ImportFieldNumeric, FieldCheckCases,
    ::testing::Values(
        FieldCase{47, "12-3456", {"Occupational Code of Employment must be numeric."}},
        FieldCase{47, "A1", {"Occupational Code of Employment must be numeric."}},
        FieldCase{47, "-12.5", {}}, FieldCase{47, "0123", {}}));

TEST(ImportFieldChecks, CleanRecordPasses) {
    RecordBuilder b;
    const Outcome out = check(b);
    EXPECT_TRUE(out.messages.isEmpty());
    EXPECT_EQ(out.state, "CA");
}

TEST(ImportFieldChecks, EveryFailureIsReportedInTableOrder) {
    RecordBuilder b;
    b.set({{5, "3"}, {9, "2"}});
    EXPECT_LIST_EQ(check(b).messages, QStringList({kGender, "Asian must be 0,1 or blank."}));

    // Every value bad at once, or every required one missing: each column gives the message it
    // gives alone (the tables above), in column order, the numeric check last.
    const std::pair<int, std::string_view> bad[] = {
        {2, "ZZ"}, {4, "1"},  {5, "9"},  {6, "9"},  {7, "9"},  {8, "9"},  {9, "9"},  {10, "9"},
        {11, "9"}, {12, "9"}, {13, "9"}, {14, "9"}, {15, "9"}, {16, "9"}, {17, "9"}, {18, "50"},
        {19, "1"}, {21, "1"}, {23, "9"}, {24, "1"}, {25, "1"}, {26, "1"}, {27, "9"}, {28, "9"},
        {29, "9"}, {31, "9"}, {32, "9"}, {33, "9"}, {34, "9"}, {35, "9"}, {36, "9"}, {37, "9"},
        {38, "9"}, {39, "9"}, {40, "9"}, {41, "1"}, {42, "9"}, {43, "1"}, {44, "9"}, {45, "9"},
        {46, "9"}, {47, "x"}, {48, "9"}, {49, "9"}, {50, "9"}, {51, "9"}, {58, "9"}, {59, "9"}};
    RecordBuilder all;
    QStringList expected, numeric;
    for (const auto& [col, value] : bad) {
        all.set(col, value);
        RecordBuilder one;
        const QStringList alone = check(one.set(col, value)).messages;
        ASSERT_EQ(alone.size(), 1) << col;
        (col == 47 ? numeric : expected) += alone;
    }
    EXPECT_LIST_EQ(check(all).messages, expected + numeric);

    RecordBuilder none;
    expected.clear();
    for (int c : {1,  2,  3,  4,  13, 15, 16, 17, 18, 19, 20, 21, 22, 23,
                  24, 35, 36, 37, 38, 39, 40, 42, 43, 45, 48, 50, 58, 59}) {
        none.set(c, "");
        RecordBuilder one;
        expected += check(one.set(c, "")).messages;
    }
    ASSERT_EQ(expected.size(), 28);
    EXPECT_LIST_EQ(check(none).messages, expected);
}

TEST(ImportFieldChecks, StateIsLookedUpInUpperCaseAndKeptAsRead) {
    RecordBuilder b;
    b.set(2, "ca");
    Outcome out = check(b, "TX");
    EXPECT_TRUE(out.messages.isEmpty());
    EXPECT_EQ(out.state, "ca");

    b.quoted(2, "Ny");
    EXPECT_EQ(check(b).state, "Ny");

    // A failing state leaves the previous one.
    b.set(2, "XX");
    out = check(b, "TX");
    EXPECT_LIST_EQ(out.messages, QStringList{"State FIPS code is not valid."});
    EXPECT_EQ(out.state, "TX");

    b.quoted(2, " CA");
    EXPECT_LIST_EQ(check(b).messages, QStringList{"State FIPS code is not valid."});
    b.set(2, "6");
    EXPECT_LIST_EQ(check(b).messages, QStringList{"State FIPS code is not valid."});
    b.set(2, "CALIFORNIA-AND-MORE");
    EXPECT_LIST_EQ(check(b).messages, QStringList{"State FIPS code is not valid."});
}

TEST(ImportFieldChecks, TextInARangeColumnStopsAfterTheEarlierFailures) {
    RecordBuilder b;
    b.set({{1, ""}, {3, ""}, {9, "x"}, {13, ""}});
    QStringList seen;
    QString state;
    try {
        runFieldChecks(
            b, context(), [&](const QString& m) { seen << m; }, state);
        FAIL() << "no type mismatch";
    } catch (const TypeMismatch& e) {
        EXPECT_EQ(e.column(), 9);
        EXPECT_TRUE(e.message().contains("mismatch"));
    }
    EXPECT_LIST_EQ(seen,
                   QStringList({"Obs cannot be Blank", "Individual identifier cannot be Blank"}));
}

TEST(ImportFieldChecks, QuotedNumbersAreComparedAsNumbers) {
    RecordBuilder b;
    b.quoted(5, "2");
    b.quoted(18, "88");
    b.quoted(4, "20061015");
    EXPECT_TRUE(check(b).messages.isEmpty());
    b.quoted(5, "3");
    EXPECT_LIST_EQ(check(b).messages, QStringList{kGender});
}

TEST(ImportFieldChecks, TypeMismatchFindsTextInAnyNumberColumn) {
    RecordBuilder b;
    EXPECT_EQ(firstTypeMismatch(b), 0);
    b.set(2, "12").set(3, "x12").quoted(63, " 7 ");
    EXPECT_FALSE(hasTypeMismatch(b)); // text columns take anything; quoted numbers convert
    b.set(63, "unit-7");
    EXPECT_EQ(firstTypeMismatch(b), 63);
    b.set(20, "long");
    EXPECT_EQ(firstTypeMismatch(b), 20);
    b.quoted(1, "A17");
    EXPECT_EQ(firstTypeMismatch(b), 1);
}

} // namespace
