#include "RecordBuilder.h"

#include "rules/CrossChecks.h"

#include <gtest/gtest.h>

#include <vector>

using namespace orv;
using test::RecordBuilder;

namespace {

const CheckContext& context() {
    static const CheckContext ctx({"CA"}, QDate(2006, 10, 1), QDate(2007, 9, 30));
    return ctx;
}

const char* const kPrefix = "Error with OBS code - 17. ";

const QString kRange = " record is not within the date range selected.";
const QString k14 = " field 14 - Employment Status cannot be blank if Date of Application (TAPR "
                    "#20) is on or after 10/1/2006.";
const QString k19 = " field 19 - Most Recent Date of Qualifying Separation is after the Date of "
                    "Exit (TAPR #42).";
const QString k25a = " field 25a - Date Entered Training is after the Date of Exit (TAPR #42).";
const QString k25b = " field 25b - On-the-Job (TAPR #31), Remedial (TAPR #32), or Customized "
                     "(TAPR #33) Training is indicated, but no Date Entered Training is given.";
const QString k26a = " field 26a -  Date Completed or Withdrew From Training is specified, but no "
                     "Date Entered Training (TAPR #24) is given.";
const QString k26b = " field 26b - Date Completed or Withdrew From Training is before the Date "
                     "Entered Training (TAPR #24).";
const QString k26c = " field 26c - Date Completed or Withdrew From Training is after the Date of "
                     "Exit (TAPR #42).";
const QString k27a = " field 27a - Training Completed must be Yes (1) or No (2) if a Date Entered "
                     "Training (TAPR #24) is specified.";
const QString k28a = " field 28a - Travel While in Training must be Yes (1) or No (2) if a Date "
                     "Entered Training (TAPR #24) is specified.";
const QString k29a = " field 29a - Subsistence While inTraining must be Yes (1) or No (2) if a "
                     "Date Entered Training (TAPR #24) is specified.";
const QString k30a = " field 30a - Occupational Skill Training Code is specified, but no Date "
                     "Entered Training (TAPR #24) is given.";
const QString k31a = " field 31a -  Received Occupational Skills Training must be Yes (1) or No "
                     "(2) if a Date Entered Training (TAPR #24) is specified.";
const QString k32a = " field 32a -  Received On-the-JobTraining must be Yes (1) or No (2) if a "
                     "Date Entered Training (TAPR #24) is specified.";
const QString k33a = " field 33a -   Received Remedial Training must be Yes (1) or No (2) if a "
                     "Date Entered Training (TAPR #24) is specified.";
const QString k34a = " field 34a -   Received Customized Training must be Yes (1) or No (2) if a "
                     "Date Entered Training (TAPR #24) is specified.";
const QString k41a = " field 41a -   Date of WIA Title IB Participation is after the Date of Exit "
                     "(TAPR #42).";
const QString k42a = " field 42a -   Field value for Other Federal Co-Enrollment must be 1-5 if a "
                     "Date of WIA Title IB Participation (TAPR #40) is specified.";
const QString k43a = " field 43a -  Date of Exit is on or before the Date of Program "
                     "Participation (TAPR #23).";
const QString k45a = " field 45a - Employed 1st Qtr After Exit must be Yes (1) if Type of "
                     "Employment Match is Wage or Employment Records (1-4) or Supplemental (5).";
const QString k45b = " field 45b - Employed 1st Qtr After Exit must be No (2) if Type of "
                     "Employment Match is Not Employed (blank or 0).";
const QString k46a = " field 46a -  Type of Employment Match 1st Quarter After Exit Quarter must "
                     "be Wage or Employment Records (1-4) if Wages > 0.";
const QString k46b = " field 46b -  Type of Employment Match 1st Quarter After Exit Quarter must "
                     "be Supplemental (5) or Not Employed (blank or 0) if Wages is blank or 0.";
const QString k48a = " field 48a -    Employed in 2nd Quarter After Exit must be Yes (1) if Type "
                     "of Employment Match is Wage or Employment Records (1-4) or Supplemental (5).";
const QString k48b = " field 48b -    Employed in 2nd Quarter After Exit must be No (2) if Type "
                     "of Employment Match is Not Employed (blank or 0).";
const QString k49a = " field 49a -   Type of Employment Match 2nd Quarter After Exit Quarter must "
                     "be Wage or Employment Records (1-4) if Wages > 0.";
const QString k49b = " field 49b -   Type of Employment Match 2nd Quarter After Exit Quarter must "
                     "be Supplemental (5) or Not Employed (blank or 0) if Wages is blank or 0.";
const QString k50a = " field 50a -   Employed in 3rd Quarter After Exit must be Yes (1) if Type "
                     "of Employment Match is Wage or Employment Records (1-4) or Supplemental (5).";
const QString k50b = " field 50b -   Employed in 3rd Quarter After Exit must be No (2) if Type "
                     "of Employment Match is Not Employed (blank or 0).";
const QString k51a = " field 51a - Type of Employment Match 3rd Quarter After Exit Quarter must "
                     "be Wage or Employment Records (1-4) if Wages > 0. ";
const QString k51b = " field 51b - Type of Employment Match 3rd Quarter After Exit Quarter must "
                     "be Supplemental (5) or Not Employed (blank or 0) if Wages is blank or 0.";
const QString k52a = " field 52a -  Wages 3rd Quarter Prior to Participation are invalid.";
const QString k52b =
    " field 52b - WARNING! Wages 3rd Quarter Prior to Participation cannot be > 100000.";
const QString k53a = " field 53a - Wages 2nd Quarter Prior to Participation are invalid.";
const QString k53b =
    " field 53b - WARNING!  Wages 2nd Quarter Prior to Participation cannot be > 100000.";
const QString k54a = " field 54a - Wages 1st Quarter Prior to Participation are invalid.";
const QString k54b =
    " field 54b - WARNING! Wages 1st Quarter Prior to Participation cannot be > 100000.";
const QString k55a = " field 55a -  Wages 1st Quarter After Exit Quarter are invalid.";
const QString k55b =
    " field 55b -  WARNING! Wages 1st Quarter After Exit Quarter cannot be > 50000.";
const QString k56a = " field 56a - Wages 2nd Quarter After Exit Quarter are invalid.";
const QString k56b =
    " field 56b - WARNING! Wages 2nd Quarter After Exit Quarter cannot be > 50000.";
const QString k57a = " field 57a - Wages 3rd Quarter After Exit Quarter are invalid.";
const QString k57b =
    " field 57b - WARNING! Wages 3rd Quarter After Exit Quarter cannot be > 50000.";
const QString kMismatch = "Type mismatch";

using Values = std::vector<std::pair<int, std::string_view>>;

// No training at all: no dates, codes or answers that call for a Date Entered Training.
const Values kNoTraining = {{25, ""}, {26, ""}, {30, ""}, {31, "2"}, {27, ""}, {28, ""}, {29, ""}};

struct CrossCase {
    const char* name;
    Values values;
    QStringList rules; // rule texts, without the obs prefix
    int warnings = 0;
};

void PrintTo(const CrossCase& c, std::ostream* os) {
    *os << c.name;
}

Values with(Values base, const Values& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

class CrossCheckCases : public ::testing::TestWithParam<CrossCase> {};

TEST_P(CrossCheckCases, FireExactlyTheirRules) {
    const CrossCase& c = GetParam();
    RecordBuilder b;
    for (const auto& [col, value] : c.values)
        b.set(col, value);
    const CrossCheckResult r = CrossCheckRecord(b, context());
    QStringList expected;
    for (const QString& rule : c.rules)
        expected << kPrefix + rule;
    EXPECT_LIST_EQ(r.messages, expected);
    EXPECT_EQ(r.warnings, c.warnings);
    EXPECT_EQ(r.hasErrors(), c.rules.size() > c.warnings);
}

INSTANTIATE_TEST_SUITE_P(
    ImportCrossDates, CrossCheckCases,
    ::testing::Values(
        CrossCase{"clean", {}, {}}, CrossCase{"exitLastDayOfPeriod", {{43, "20070930"}}, {}},
        CrossCase{"exitDayAfterPeriod", {{43, "20071001"}}, {kRange}},
        CrossCase{"exitFirstDayOfPeriod", {{43, "20061001"}}, {}},
        CrossCase{"exitDayBeforePeriod", {{43, "20060930"}}, {kRange}},
        // An invalid exit is no range error, but compares as the zero date.
        CrossCase{"invalidExit", {{43, "20060931"}}, {k19, k25a, k26c, k43a}},
        CrossCase{"blankStatusAppBefore", {{14, ""}, {21, "20060930"}}, {}},
        CrossCase{"blankStatusAppOn", {{14, ""}, {21, "20061001"}}, {k14}},
        CrossCase{"statusGivenAppOn", {{14, "2"}, {21, "20061001"}}, {}},
        CrossCase{"separationOnExit", {{19, "20061015"}}, {}},
        CrossCase{"separationAfterExit", {{19, "20061016"}}, {k19}},
        CrossCase{"enteredOnExit", {{25, "20061015"}, {26, ""}}, {}},
        CrossCase{"enteredAfterExit", {{25, "20061016"}, {26, ""}}, {k25a}},
        CrossCase{"noTraining", kNoTraining, {}},
        CrossCase{"ojtWithoutEntered", with(kNoTraining, {{32, "1"}}), {k25b}},
        CrossCase{"ojtNoWithoutEntered", with(kNoTraining, {{32, "2"}}), {}},
        CrossCase{"classroomWithoutEntered", with(kNoTraining, {{31, "1"}}), {k25b}},
        CrossCase{"customizedWithoutEntered", with(kNoTraining, {{34, "1"}}), {k25b}},
        CrossCase{"completedWithoutEntered", with(kNoTraining, {{26, "20060801"}}), {k26a}},
        CrossCase{"completedBeforeEntered", {{26, "20060331"}}, {k26b}},
        CrossCase{"completedOnEntered", {{26, "20060401"}}, {}},
        CrossCase{"completedOnExit", {{26, "20061015"}}, {}},
        CrossCase{"completedAfterExit", {{26, "20061016"}}, {k26c}},
        CrossCase{"wiaOnExit", {{41, "20061015"}, {42, "1"}}, {}},
        CrossCase{"wiaAfterExit", {{41, "20061016"}, {42, "1"}}, {k41a}},
        CrossCase{"wiaWithoutCoenrollment", {{41, "20060501"}, {42, "0"}}, {k42a}},
        CrossCase{"wiaWithCoenrollment5", {{41, "20060501"}, {42, "5"}}, {}},
        CrossCase{"wiaWithCoenrollment6", {{41, "20060501"}, {42, "6"}}, {k42a}},
        CrossCase{"wiaWithBlankCoenrollment", {{41, "20060501"}, {42, ""}}, {k42a}},
        CrossCase{"noWiaAndNoCoenrollment", {{41, ""}, {42, "0"}}, {}},
        CrossCase{"exitOnParticipation", {{43, "20061015"}, {24, "20061015"}}, {k43a}},
        CrossCase{"exitDayAfterParticipation", {{24, "20061014"}}, {}}));

INSTANTIATE_TEST_SUITE_P(
    ImportCrossTraining, CrossCheckCases,
    ::testing::Values(
        CrossCase{"completedBlank", {{27, ""}}, {k27a}},
        CrossCase{"completed0", {{27, "0"}}, {k27a}}, CrossCase{"completed2", {{27, "2"}}, {}},
        CrossCase{"travel0", {{28, "0"}}, {k28a}},
        CrossCase{"subsistenceBlank", {{29, ""}}, {k29a}},
        CrossCase{"classroom0", {{31, "0"}}, {k31a}}, CrossCase{"ojtBlank", {{32, ""}}, {k32a}},
        CrossCase{"remedial0", {{33, "0"}}, {k33a}},
        CrossCase{"customizedBlank", {{34, ""}}, {k34a}},
        CrossCase{"answersBlankWithoutEntered", with(kNoTraining, {{32, ""}, {33, ""}}), {}},
        CrossCase{"codeZeros", with(kNoTraining, {{30, "00000000"}}), {}},
        CrossCase{"codeZero", with(kNoTraining, {{30, "0"}}), {}},
        CrossCase{"codeGiven", with(kNoTraining, {{30, "47201100"}}), {k30a}},
        CrossCase{"codeText", with(kNoTraining, {{30, "47-2011"}}), {k30a}}));

INSTANTIATE_TEST_SUITE_P(
    ImportCrossEmployment, CrossCheckCases,
    ::testing::Values(CrossCase{"type1NotEmployed", {{45, "2"}}, {k45a}},
                      CrossCase{"type5Employed", {{46, "5"}, {55, "0"}}, {}},
                      CrossCase{"typeBlankEmployedNoWages", {{46, ""}, {55, "0"}}, {k45b}},
                      CrossCase{
                          "typeBlankNotEmployedNoWages", {{45, "2"}, {46, ""}, {55, "0"}}, {}},
                      CrossCase{"type0NotEmployedBlankWages", {{45, "2"}, {46, "0"}, {55, ""}}, {}},
                      CrossCase{"type0WithWages", {{45, "2"}, {46, "0"}}, {k46a}},
                      CrossCase{"type5WithWages", {{46, "5"}}, {k46a}},
                      CrossCase{"type4WithoutWages", {{46, "4"}, {55, "0"}}, {k46b}},
                      CrossCase{"type2NotEmployed", {{48, "2"}}, {k48a}},
                      CrossCase{"type2Blank", {{49, ""}, {56, ""}}, {k48b}},
                      CrossCase{"type2ZeroWithWages", {{48, "2"}, {49, "0"}}, {k49a}},
                      CrossCase{"type2WithoutWages", {{49, "1"}, {56, "0"}}, {k49b}},
                      CrossCase{"type3NotEmployed", {{50, "2"}}, {k50a}},
                      CrossCase{"type3Zero", {{51, "0"}, {57, "0"}}, {k50b}},
                      CrossCase{"type3ZeroWithWages", {{50, "2"}, {51, "0"}}, {k51a}},
                      CrossCase{"type3WithoutWages", {{51, "3"}, {57, ""}}, {k51b}}));

INSTANTIATE_TEST_SUITE_P(
    ImportCrossWages, CrossCheckCases,
    ::testing::Values(
        CrossCase{"priorNegative", {{52, "-5"}}, {k52a}}, CrossCase{"priorZero", {{52, "0"}}, {}},
        CrossCase{"prior100000", {{52, "100000"}}, {}},
        CrossCase{"priorAbove100000", {{52, "100000.01"}}, {k52b}, 1},
        CrossCase{"priorJustBelowLimit", {{52, "999999.98"}}, {k52b}, 1},
        CrossCase{"priorAtLimit", {{52, "999999.99"}}, {}},
        CrossCase{"priorAboveLimit", {{52, "1000000"}}, {k52a}},
        CrossCase{"prior2", {{53, "-1"}}, {k53a}},
        CrossCase{"prior2Warning", {{53, "150000"}}, {k53b}, 1},
        CrossCase{"prior1", {{54, "1000000"}}, {k54a}},
        CrossCase{"prior1Warning", {{54, "100001"}}, {k54b}, 1},
        CrossCase{"after1At50000", {{55, "50000"}}, {}},
        CrossCase{"after1Warning", {{55, "60000"}}, {k55b}, 1},
        CrossCase{"after1Invalid", {{55, "-0.01"}}, {k55a}},
        CrossCase{"after1AboveLimit", {{55, "1000000"}}, {k55a}},
        CrossCase{"after2Warning", {{56, "50000.5"}}, {k56b}, 1},
        CrossCase{"after2Invalid", {{56, "-3"}}, {k56a}},
        CrossCase{"after3Warning", {{57, "70000"}}, {k57b}, 1},
        CrossCase{"after3Invalid", {{57, "2000000"}}, {k57a}},
        CrossCase{"warningAndError", {{52, "-5"}, {57, "70000"}}, {k52a, k57b}, 1},
        CrossCase{"textWage", {{56, "n/a"}}, {kMismatch, kMismatch, kMismatch, kMismatch}}));

TEST(ImportCrossChecks, ObsIsColumnOneAsText) {
    RecordBuilder b;
    b.set({{1, "0017.0"}, {43, "20071001"}});
    EXPECT_LIST_EQ(CrossCheckRecord(b, context()).messages,
                   QStringList{"Error with OBS code - 17. " + kRange});
    b.set(1, "A-9");
    EXPECT_LIST_EQ(CrossCheckRecord(b, context()).messages,
                   QStringList{"Error with OBS code - A-9. " + kRange});
}

TEST(ImportCrossChecks, QuotedNumbersCompareAsNumbers) {
    RecordBuilder b;
    b.quoted(55, "60000");
    b.quoted(30, "00000000");
    const CrossCheckResult r = CrossCheckRecord(b, context());
    EXPECT_LIST_EQ(r.messages, QStringList{kPrefix + k55b});
    b.set({{25, ""}, {26, ""}, {31, "2"}, {27, ""}, {28, ""}, {29, ""}});
    b.quoted(55, "");
    b.quoted(30, "000");
    // A quoted code is compared as written: "000" is a code.
    EXPECT_TRUE(CrossCheckRecord(b, context()).messages.contains(kPrefix + k30a));
}

TEST(ImportCrossChecks, AnInvalidPeriodCountsAsTheZeroDate) {
    const CheckContext noPeriod({"CA"}, QDate(), QDate());
    RecordBuilder b;
    EXPECT_LIST_EQ(CrossCheckRecord(b, noPeriod).messages, QStringList{kPrefix + kRange});
}

} // namespace
