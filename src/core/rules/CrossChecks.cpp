#include "rules/CrossChecks.h"

#include "rules/ImportErrors.h"
#include "rules/RecordRules.h"

#include <iterator>

namespace orv {

namespace {

constexpr double kWageLimit = 999999.99;

// The record as the rules see it: dates as keys, blanks equal to no number.
class CrossView {
public:
    CrossView(const ExtractRecord& record, const CheckContext& context)
        : mRecord(record), mContext(context) {
        for (Col col : kDateColumns)
            mDates[std::size_t(pos(col))] = parseYmdKey(record.col(col));
    }

    bool valid(Col col) const { return mDates[std::size_t(pos(col))] != 0; }
    // An invalid date compares as the zero date.
    YmdKey date(Col col) const {
        const YmdKey k = mDates[std::size_t(pos(col))];
        return k ? k : kZeroDateKey;
    }
    YmdKey period() const { return mContext.periodKey(); }
    YmdKey periodEnd() const { return mContext.periodEndKey(); }

    bool blank(Col col) const { return mRecord.col(col).isBlank(); }
    // Not for blanks: callers test blank first.
    double num(Col col) const {
        const FieldValue& v = mRecord.col(col);
        if (!v.numeric)
            throw TypeMismatch(pos(col));
        return v.number;
    }
    bool is(Col col, double x) const { return !blank(col) && num(col) == x; }
    bool between(Col col, double lo, double hi) const {
        return !blank(col) && lo <= num(col) && num(col) <= hi;
    }
    bool above(Col col, double x) const { return !blank(col) && num(col) > x; }
    bool blankOrZero(Col col) const { return blank(col) || num(col) == 0; }
    bool neither1Nor2(Col col) const { return !is(col, 1) && !is(col, 2); }
    bool noneOf5Or0OrBlank(Col col) const { return !blank(col) && num(col) != 5 && num(col) != 0; }
    bool wageInRange(Col col) const { return !blank(col) && num(col) > 0 && num(col) < kWageLimit; }
    bool wageInvalid(Col col) const {
        return !blank(col) && (num(col) < 0 || num(col) > kWageLimit);
    }
    bool wageAbove(Col col, double x) const { return above(col, x) && num(col) < kWageLimit; }
    // Compared as text; a number by its text form, so 00000000 read as 0 means no code too.
    bool trainingCodeGiven(Col col) const {
        const FieldValue& v = mRecord.col(col);
        if (v.isBlank())
            return false;
        if (v.isNumber())
            return v.number != 0;
        return v.text != "00000000" && v.text != "0";
    }

private:
    static constexpr Col kDateColumns[] = {Col::DislocDate,     Col::AppDate,      Col::PartDate,
                                           Col::EnterTrainDate, Col::TrainEndDate, Col::WIARegDate,
                                           Col::WIAExitDate};
    const ExtractRecord& mRecord;
    const CheckContext& mContext;
    std::array<YmdKey, kExtractColumns + 1> mDates{};
};

struct CrossRule {
    const char* text;
    bool (*fires)(const CrossView&);
};

// clang-format off
const CrossRule kCrossRules[] = {
    {" record is not within the date range selected.",
     [](const CrossView& v) { return v.valid(Col::WIAExitDate) && (v.date(Col::WIAExitDate) < v.period() || v.date(Col::WIAExitDate) > v.periodEnd()); }},
    {" field 14 - Employment Status cannot be blank if Date of Application (TAPR #20) is on or after 10/1/2006.",
     [](const CrossView& v) { return v.blank(Col::EmploymentStatus) && v.date(Col::AppDate) >= ymdKey(2006, 10, 1); }},
    {" field 19 - Most Recent Date of Qualifying Separation is after the Date of Exit (TAPR #42).",
     [](const CrossView& v) { return v.date(Col::DislocDate) > v.date(Col::WIAExitDate); }},
    {" field 25a - Date Entered Training is after the Date of Exit (TAPR #42).",
     [](const CrossView& v) { return v.valid(Col::EnterTrainDate) && v.date(Col::EnterTrainDate) > v.date(Col::WIAExitDate); }},
    {" field 25b - On-the-Job (TAPR #31), Remedial (TAPR #32), or Customized (TAPR #33) Training is indicated, but no Date Entered Training is given.",
     [](const CrossView& v) {
         const bool any = v.is(Col::RecvdOccTrain, 1) | v.is(Col::OJT, 1) | v.is(Col::RemedialTrain, 1) | v.is(Col::CustomTrain, 1);
         return any && !v.valid(Col::EnterTrainDate);
     }},
    {" field 26a -  Date Completed or Withdrew From Training is specified, but no Date Entered Training (TAPR #24) is given.",
     [](const CrossView& v) { return v.valid(Col::TrainEndDate) && !v.valid(Col::EnterTrainDate); }},
    {" field 26b - Date Completed or Withdrew From Training is before the Date Entered Training (TAPR #24).",
     [](const CrossView& v) { return v.valid(Col::TrainEndDate) && v.date(Col::TrainEndDate) < v.date(Col::EnterTrainDate); }},
    {" field 26c - Date Completed or Withdrew From Training is after the Date of Exit (TAPR #42).",
     [](const CrossView& v) { return v.valid(Col::TrainEndDate) && v.date(Col::TrainEndDate) > v.date(Col::WIAExitDate); }},
    {" field 27a - Training Completed must be Yes (1) or No (2) if a Date Entered Training (TAPR #24) is specified.",
     [](const CrossView& v) { return v.neither1Nor2(Col::TrainComp) && v.valid(Col::EnterTrainDate); }},
    {" field 28a - Travel While in Training must be Yes (1) or No (2) if a Date Entered Training (TAPR #24) is specified.",
     [](const CrossView& v) { return v.neither1Nor2(Col::Travel) && v.valid(Col::EnterTrainDate); }},
    {" field 29a - Subsistence While inTraining must be Yes (1) or No (2) if a Date Entered Training (TAPR #24) is specified.",
     [](const CrossView& v) { return v.neither1Nor2(Col::Subsistence) && v.valid(Col::EnterTrainDate); }},
    {" field 30a - Occupational Skill Training Code is specified, but no Date Entered Training (TAPR #24) is given.",
     [](const CrossView& v) { return v.trainingCodeGiven(Col::OccTrainCode) && !v.valid(Col::EnterTrainDate); }},
    {" field 31a -  Received Occupational Skills Training must be Yes (1) or No (2) if a Date Entered Training (TAPR #24) is specified.",
     [](const CrossView& v) { return v.neither1Nor2(Col::RecvdOccTrain) && v.valid(Col::EnterTrainDate); }},
    {" field 32a -  Received On-the-JobTraining must be Yes (1) or No (2) if a Date Entered Training (TAPR #24) is specified.",
     [](const CrossView& v) { return v.neither1Nor2(Col::OJT) && v.valid(Col::EnterTrainDate); }},
    {" field 33a -   Received Remedial Training must be Yes (1) or No (2) if a Date Entered Training (TAPR #24) is specified.",
     [](const CrossView& v) { return v.neither1Nor2(Col::RemedialTrain) && v.valid(Col::EnterTrainDate); }},
    {" field 34a -   Received Customized Training must be Yes (1) or No (2) if a Date Entered Training (TAPR #24) is specified.",
     [](const CrossView& v) { return v.neither1Nor2(Col::CustomTrain) && v.valid(Col::EnterTrainDate); }},
    {" field 41a -   Date of WIA Title IB Participation is after the Date of Exit (TAPR #42).",
     [](const CrossView& v) { return v.valid(Col::WIAExitDate) && v.date(Col::WIARegDate) > v.date(Col::WIAExitDate); }},
    {" field 42a -   Field value for Other Federal Co-Enrollment must be 1-5 if a Date of WIA Title IB Participation (TAPR #40) is specified.",
     [](const CrossView& v) { return !v.between(Col::FedCoenroll, 1, 5) && v.valid(Col::WIARegDate); }},
    {" field 43a -  Date of Exit is on or before the Date of Program Participation (TAPR #23).",
     [](const CrossView& v) { return v.date(Col::WIAExitDate) <= v.date(Col::PartDate); }},
    {" field 45a - Employed 1st Qtr After Exit must be Yes (1) if Type of Employment Match is Wage or Employment Records (1-4) or Supplemental (5).",
     [](const CrossView& v) { return v.between(Col::TypeEmpQtr1AfterExit, 1, 5) && !v.is(Col::EmpQtr1, 1); }},
    {" field 45b - Employed 1st Qtr After Exit must be No (2) if Type of Employment Match is Not Employed (blank or 0).",
     [](const CrossView& v) { return v.blankOrZero(Col::TypeEmpQtr1AfterExit) && !v.is(Col::EmpQtr1, 2); }},
    {" field 46a -  Type of Employment Match 1st Quarter After Exit Quarter must be Wage or Employment Records (1-4) if Wages > 0.",
     [](const CrossView& v) { return v.wageInRange(Col::Earn1QTRAfterExit) && !v.between(Col::TypeEmpQtr1AfterExit, 1, 4); }},
    {" field 46b -  Type of Employment Match 1st Quarter After Exit Quarter must be Supplemental (5) or Not Employed (blank or 0) if Wages is blank or 0.",
     [](const CrossView& v) { return v.blankOrZero(Col::Earn1QTRAfterExit) && v.noneOf5Or0OrBlank(Col::TypeEmpQtr1AfterExit); }},
    {" field 48a -    Employed in 2nd Quarter After Exit must be Yes (1) if Type of Employment Match is Wage or Employment Records (1-4) or Supplemental (5).",
     [](const CrossView& v) { return v.between(Col::TypeEmpQtr2AfterExit, 1, 5) && !v.is(Col::EmpQtr2AfterExit, 1); }},
    {" field 48b -    Employed in 2nd Quarter After Exit must be No (2) if Type of Employment Match is Not Employed (blank or 0).",
     [](const CrossView& v) { return v.blankOrZero(Col::TypeEmpQtr2AfterExit) && !v.is(Col::EmpQtr2AfterExit, 2); }},
    {" field 49a -   Type of Employment Match 2nd Quarter After Exit Quarter must be Wage or Employment Records (1-4) if Wages > 0.",
     [](const CrossView& v) { return v.wageInRange(Col::Earn2QTRAfterExit) && !v.between(Col::TypeEmpQtr2AfterExit, 1, 4); }},
    {" field 49b -   Type of Employment Match 2nd Quarter After Exit Quarter must be Supplemental (5) or Not Employed (blank or 0) if Wages is blank or 0.",
     [](const CrossView& v) { return v.blankOrZero(Col::Earn2QTRAfterExit) && v.noneOf5Or0OrBlank(Col::TypeEmpQtr2AfterExit); }},
    {" field 50a -   Employed in 3rd Quarter After Exit must be Yes (1) if Type of Employment Match is Wage or Employment Records (1-4) or Supplemental (5).",
     [](const CrossView& v) { return v.between(Col::TypeEmpQtr3AfterExit, 1, 5) && !v.is(Col::EmpQtr3, 1); }},
    {" field 50b -   Employed in 3rd Quarter After Exit must be No (2) if Type of Employment Match is Not Employed (blank or 0).",
     [](const CrossView& v) { return v.blankOrZero(Col::TypeEmpQtr3AfterExit) && !v.is(Col::EmpQtr3, 2); }},
    {" field 51a - Type of Employment Match 3rd Quarter After Exit Quarter must be Wage or Employment Records (1-4) if Wages > 0. ",
     [](const CrossView& v) { return v.wageInRange(Col::Earn3QTRAfterExit) && !v.between(Col::TypeEmpQtr3AfterExit, 1, 4); }},
    {" field 51b - Type of Employment Match 3rd Quarter After Exit Quarter must be Supplemental (5) or Not Employed (blank or 0) if Wages is blank or 0.",
     [](const CrossView& v) { return v.blankOrZero(Col::Earn3QTRAfterExit) && v.noneOf5Or0OrBlank(Col::TypeEmpQtr3AfterExit); }},
    {" field 52a -  Wages 3rd Quarter Prior to Participation are invalid.",
     [](const CrossView& v) { return v.wageInvalid(Col::Earn3QTRPriorToParticipation); }},
    {" field 52b - WARNING! Wages 3rd Quarter Prior to Participation cannot be > 100000.",
     [](const CrossView& v) { return v.wageAbove(Col::Earn3QTRPriorToParticipation, 100000); }},
    {" field 53a - Wages 2nd Quarter Prior to Participation are invalid.",
     [](const CrossView& v) { return v.wageInvalid(Col::Earn2QTRPriorToParticipation); }},
    {" field 53b - WARNING!  Wages 2nd Quarter Prior to Participation cannot be > 100000.",
     [](const CrossView& v) { return v.wageAbove(Col::Earn2QTRPriorToParticipation, 100000); }},
    {" field 54a - Wages 1st Quarter Prior to Participation are invalid.",
     [](const CrossView& v) { return v.wageInvalid(Col::Earn1QTRPriorToParticipation); }},
    {" field 54b - WARNING! Wages 1st Quarter Prior to Participation cannot be > 100000.",
     [](const CrossView& v) { return v.wageAbove(Col::Earn1QTRPriorToParticipation, 100000); }},
    {" field 55a -  Wages 1st Quarter After Exit Quarter are invalid.",
     [](const CrossView& v) { return v.wageInvalid(Col::Earn1QTRAfterExit); }},
    {" field 55b -  WARNING! Wages 1st Quarter After Exit Quarter cannot be > 50000.",
     [](const CrossView& v) { return v.wageAbove(Col::Earn1QTRAfterExit, 50000); }},
    {" field 56a - Wages 2nd Quarter After Exit Quarter are invalid.",
     [](const CrossView& v) { return v.wageInvalid(Col::Earn2QTRAfterExit); }},
    {" field 56b - WARNING! Wages 2nd Quarter After Exit Quarter cannot be > 50000.",
     [](const CrossView& v) { return v.wageAbove(Col::Earn2QTRAfterExit, 50000); }},
    {" field 57a - Wages 3rd Quarter After Exit Quarter are invalid.",
     [](const CrossView& v) { return v.wageInvalid(Col::Earn3QTRAfterExit); }},
    {" field 57b - WARNING! Wages 3rd Quarter After Exit Quarter cannot be > 50000.",
     [](const CrossView& v) { return v.wageAbove(Col::Earn3QTRAfterExit, 50000); }},
};
// clang-format on

} // namespace

CrossCheckResult CrossCheckRecord(const ExtractRecord& record, const CheckContext& context) {
    CrossCheckResult result;
    const CrossView view(record, context);
    QString prefix; // built on the first message only
    auto add = [&](QLatin1String text) {
        if (prefix.isNull())
            prefix = QStringLiteral("Error with OBS code - ") +
                     entryObs(valueText(record.col(Col::Obs))) + QStringLiteral(". ");
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
