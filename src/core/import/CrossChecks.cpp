#include "import/CrossChecks.h"

#include "import/ImportErrors.h"
#include "import/RecordRules.h"

#include <iterator>

namespace orv {

namespace {

constexpr double kWageLimit = 999999.99;

// The record as the rules see it: dates as keys, blanks equal to no number.
class CrossView {
public:
    CrossView(const ExtractRecord& record, const CheckContext& context)
        : mRecord(record), mContext(context) {
        for (int col : kDateColumns)
            mDates[std::size_t(col)] = ParseYmdKey(record.col(col));
    }

    bool valid(int col) const { return mDates[std::size_t(col)] != 0; }
    // An invalid date compares as the zero date.
    YmdKey date(int col) const {
        const YmdKey k = mDates[std::size_t(col)];
        return k ? k : kZeroDateKey;
    }
    YmdKey period() const { return mContext.periodKey(); }
    YmdKey periodEnd() const { return mContext.periodEndKey(); }

    bool blank(int col) const { return mRecord.col(col).isBlank(); }
    // Not for blanks: callers test blank first.
    double num(int col) const {
        const FieldValue& v = mRecord.col(col);
        if (!v.numeric)
            throw TypeMismatch(col);
        return v.number;
    }
    bool is(int col, double x) const { return !blank(col) && num(col) == x; }
    bool between(int col, double lo, double hi) const {
        return !blank(col) && lo <= num(col) && num(col) <= hi;
    }
    bool above(int col, double x) const { return !blank(col) && num(col) > x; }
    bool blankOrZero(int col) const { return blank(col) || num(col) == 0; }
    bool neither1Nor2(int col) const { return !is(col, 1) && !is(col, 2); }
    bool noneOf5Or0OrBlank(int col) const { return !blank(col) && num(col) != 5 && num(col) != 0; }
    bool wageInRange(int col) const { return !blank(col) && num(col) > 0 && num(col) < kWageLimit; }
    bool wageInvalid(int col) const {
        return !blank(col) && (num(col) < 0 || num(col) > kWageLimit);
    }
    bool wageAbove(int col, double x) const { return above(col, x) && num(col) < kWageLimit; }
    // Compared as text; a number by its text form, so 00000000 read as 0 means no code too.
    bool trainingCodeGiven(int col) const {
        const FieldValue& v = mRecord.col(col);
        if (v.isBlank())
            return false;
        if (v.isNumber())
            return v.number != 0;
        return v.text != "00000000" && v.text != "0";
    }

private:
    static constexpr int kDateColumns[] = {19, 21, 24, 25, 26, 41, 43};
    const ExtractRecord& mRecord;
    const CheckContext& mContext;
    std::array<YmdKey, 44> mDates{};
};

struct CrossRule {
    const char* text;
    bool (*fires)(const CrossView&);
};

// clang-format off
const CrossRule kCrossRules[] = {
    {" record is not within the date range selected.",
     [](const CrossView& v) { return v.valid(43) && (v.date(43) < v.period() || v.date(43) > v.periodEnd()); }},
    {" field 14 - Employment Status cannot be blank if Date of Application (TAPR #20) is on or after 10/1/2006.",
     [](const CrossView& v) { return v.blank(14) && v.date(21) >= ymdKey(2006, 10, 1); }},
    {" field 19 - Most Recent Date of Qualifying Separation is after the Date of Exit (TAPR #42).",
     [](const CrossView& v) { return v.date(19) > v.date(43); }},
    {" field 25a - Date Entered Training is after the Date of Exit (TAPR #42).",
     [](const CrossView& v) { return v.valid(25) && v.date(25) > v.date(43); }},
    {" field 25b - On-the-Job (TAPR #31), Remedial (TAPR #32), or Customized (TAPR #33) Training is indicated, but no Date Entered Training is given.",
     [](const CrossView& v) {
         const bool any = v.is(31, 1) | v.is(32, 1) | v.is(33, 1) | v.is(34, 1);
         return any && !v.valid(25);
     }},
    {" field 26a -  Date Completed or Withdrew From Training is specified, but no Date Entered Training (TAPR #24) is given.",
     [](const CrossView& v) { return v.valid(26) && !v.valid(25); }},
    {" field 26b - Date Completed or Withdrew From Training is before the Date Entered Training (TAPR #24).",
     [](const CrossView& v) { return v.valid(26) && v.date(26) < v.date(25); }},
    {" field 26c - Date Completed or Withdrew From Training is after the Date of Exit (TAPR #42).",
     [](const CrossView& v) { return v.valid(26) && v.date(26) > v.date(43); }},
    {" field 27a - Training Completed must be Yes (1) or No (2) if a Date Entered Training (TAPR #24) is specified.",
     [](const CrossView& v) { return v.neither1Nor2(27) && v.valid(25); }},
    {" field 28a - Travel While in Training must be Yes (1) or No (2) if a Date Entered Training (TAPR #24) is specified.",
     [](const CrossView& v) { return v.neither1Nor2(28) && v.valid(25); }},
    {" field 29a - Subsistence While inTraining must be Yes (1) or No (2) if a Date Entered Training (TAPR #24) is specified.",
     [](const CrossView& v) { return v.neither1Nor2(29) && v.valid(25); }},
    {" field 30a - Occupational Skill Training Code is specified, but no Date Entered Training (TAPR #24) is given.",
     [](const CrossView& v) { return v.trainingCodeGiven(30) && !v.valid(25); }},
    {" field 31a -  Received Occupational Skills Training must be Yes (1) or No (2) if a Date Entered Training (TAPR #24) is specified.",
     [](const CrossView& v) { return v.neither1Nor2(31) && v.valid(25); }},
    {" field 32a -  Received On-the-JobTraining must be Yes (1) or No (2) if a Date Entered Training (TAPR #24) is specified.",
     [](const CrossView& v) { return v.neither1Nor2(32) && v.valid(25); }},
    {" field 33a -   Received Remedial Training must be Yes (1) or No (2) if a Date Entered Training (TAPR #24) is specified.",
     [](const CrossView& v) { return v.neither1Nor2(33) && v.valid(25); }},
    {" field 34a -   Received Customized Training must be Yes (1) or No (2) if a Date Entered Training (TAPR #24) is specified.",
     [](const CrossView& v) { return v.neither1Nor2(34) && v.valid(25); }},
    {" field 41a -   Date of WIA Title IB Participation is after the Date of Exit (TAPR #42).",
     [](const CrossView& v) { return v.valid(43) && v.date(41) > v.date(43); }},
    {" field 42a -   Field value for Other Federal Co-Enrollment must be 1-5 if a Date of WIA Title IB Participation (TAPR #40) is specified.",
     [](const CrossView& v) { return !v.between(42, 1, 5) && v.valid(41); }},
    {" field 43a -  Date of Exit is on or before the Date of Program Participation (TAPR #23).",
     [](const CrossView& v) { return v.date(43) <= v.date(24); }},
    {" field 45a - Employed 1st Qtr After Exit must be Yes (1) if Type of Employment Match is Wage or Employment Records (1-4) or Supplemental (5).",
     [](const CrossView& v) { return v.between(46, 1, 5) && !v.is(45, 1); }},
    {" field 45b - Employed 1st Qtr After Exit must be No (2) if Type of Employment Match is Not Employed (blank or 0).",
     [](const CrossView& v) { return v.blankOrZero(46) && !v.is(45, 2); }},
    {" field 46a -  Type of Employment Match 1st Quarter After Exit Quarter must be Wage or Employment Records (1-4) if Wages > 0.",
     [](const CrossView& v) { return v.wageInRange(55) && !v.between(46, 1, 4); }},
    {" field 46b -  Type of Employment Match 1st Quarter After Exit Quarter must be Supplemental (5) or Not Employed (blank or 0) if Wages is blank or 0.",
     [](const CrossView& v) { return v.blankOrZero(55) && v.noneOf5Or0OrBlank(46); }},
    {" field 48a -    Employed in 2nd Quarter After Exit must be Yes (1) if Type of Employment Match is Wage or Employment Records (1-4) or Supplemental (5).",
     [](const CrossView& v) { return v.between(49, 1, 5) && !v.is(48, 1); }},
    {" field 48b -    Employed in 2nd Quarter After Exit must be No (2) if Type of Employment Match is Not Employed (blank or 0).",
     [](const CrossView& v) { return v.blankOrZero(49) && !v.is(48, 2); }},
    {" field 49a -   Type of Employment Match 2nd Quarter After Exit Quarter must be Wage or Employment Records (1-4) if Wages > 0.",
     [](const CrossView& v) { return v.wageInRange(56) && !v.between(49, 1, 4); }},
    {" field 49b -   Type of Employment Match 2nd Quarter After Exit Quarter must be Supplemental (5) or Not Employed (blank or 0) if Wages is blank or 0.",
     [](const CrossView& v) { return v.blankOrZero(56) && v.noneOf5Or0OrBlank(49); }},
    {" field 50a -   Employed in 3rd Quarter After Exit must be Yes (1) if Type of Employment Match is Wage or Employment Records (1-4) or Supplemental (5).",
     [](const CrossView& v) { return v.between(51, 1, 5) && !v.is(50, 1); }},
    {" field 50b -   Employed in 3rd Quarter After Exit must be No (2) if Type of Employment Match is Not Employed (blank or 0).",
     [](const CrossView& v) { return v.blankOrZero(51) && !v.is(50, 2); }},
    {" field 51a - Type of Employment Match 3rd Quarter After Exit Quarter must be Wage or Employment Records (1-4) if Wages > 0. ",
     [](const CrossView& v) { return v.wageInRange(57) && !v.between(51, 1, 4); }},
    {" field 51b - Type of Employment Match 3rd Quarter After Exit Quarter must be Supplemental (5) or Not Employed (blank or 0) if Wages is blank or 0.",
     [](const CrossView& v) { return v.blankOrZero(57) && v.noneOf5Or0OrBlank(51); }},
    {" field 52a -  Wages 3rd Quarter Prior to Participation are invalid.",
     [](const CrossView& v) { return v.wageInvalid(52); }},
    {" field 52b - WARNING! Wages 3rd Quarter Prior to Participation cannot be > 100000.",
     [](const CrossView& v) { return v.wageAbove(52, 100000); }},
    {" field 53a - Wages 2nd Quarter Prior to Participation are invalid.",
     [](const CrossView& v) { return v.wageInvalid(53); }},
    {" field 53b - WARNING!  Wages 2nd Quarter Prior to Participation cannot be > 100000.",
     [](const CrossView& v) { return v.wageAbove(53, 100000); }},
    {" field 54a - Wages 1st Quarter Prior to Participation are invalid.",
     [](const CrossView& v) { return v.wageInvalid(54); }},
    {" field 54b - WARNING! Wages 1st Quarter Prior to Participation cannot be > 100000.",
     [](const CrossView& v) { return v.wageAbove(54, 100000); }},
    {" field 55a -  Wages 1st Quarter After Exit Quarter are invalid.",
     [](const CrossView& v) { return v.wageInvalid(55); }},
    {" field 55b -  WARNING! Wages 1st Quarter After Exit Quarter cannot be > 50000.",
     [](const CrossView& v) { return v.wageAbove(55, 50000); }},
    {" field 56a - Wages 2nd Quarter After Exit Quarter are invalid.",
     [](const CrossView& v) { return v.wageInvalid(56); }},
    {" field 56b - WARNING! Wages 2nd Quarter After Exit Quarter cannot be > 50000.",
     [](const CrossView& v) { return v.wageAbove(56, 50000); }},
    {" field 57a - Wages 3rd Quarter After Exit Quarter are invalid.",
     [](const CrossView& v) { return v.wageInvalid(57); }},
    {" field 57b - WARNING! Wages 3rd Quarter After Exit Quarter cannot be > 50000.",
     [](const CrossView& v) { return v.wageAbove(57, 50000); }},
};
// clang-format on

} // namespace

CrossCheckResult CrossCheckRecord(const ExtractRecord& record, const CheckContext& context) {
    CrossCheckResult result;
    const CrossView view(record, context);
    QString prefix; // built on the first message only
    auto add = [&](QLatin1String text) {
        if (prefix.isNull())
            prefix = QStringLiteral("Error with OBS code - ") + entryObs(valueText(record.col(1))) +
                     QStringLiteral(". ");
        result.messages << prefix + text;
    };
    for (const CrossRule& rule : kCrossRules) {
        bool fired;
        try {
            fired = rule.fires(view);
        } catch (const TypeMismatch& e) {
            add(QLatin1String(e.what()));
            continue;
        }
        if (fired) {
            const QLatin1String text(rule.text);
            add(text);
            if (QLatin1String(rule.text).contains(QLatin1String("WARNING!")))
                ++result.warnings;
        }
    }
    return result;
}

} // namespace orv
