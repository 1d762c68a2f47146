#include "rules/FieldChecks.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace orv {

namespace {

enum class FieldTest : std::uint8_t { Blank, Range, Date, Numeric, State };

struct FieldRule {
    Col col;
    FieldTest test;
    // What follows the field name in the message.
    std::string_view text;
    // The field name where the message spells it its own way.
    std::string_view subject = {};
    double lo = 0, hi = 0;
    double lo2 = 1, hi2 = 0; // a second allowed range when lo2 <= hi2
};

constexpr std::string_view kDateText =
    " must be a valid date and or the date must be in yyyymmdd date format.";
constexpr std::string_view kBlankText = " cannot be Blank";

constexpr FieldRule blank(Col col, std::string_view subject = {},
                          std::string_view text = kBlankText) {
    return {col, FieldTest::Blank, text, subject};
}
constexpr FieldRule date(Col col) {
    return {col, FieldTest::Date, kDateText};
}
constexpr FieldRule range(Col col, double lo, double hi, std::string_view text,
                          std::string_view subject = {}) {
    return {col, FieldTest::Range, text, subject, lo, hi};
}
constexpr FieldRule ranges(Col col, double lo, double hi, double lo2, double hi2,
                           std::string_view text) {
    return {col, FieldTest::Range, text, {}, lo, hi, lo2, hi2};
}

constexpr std::string_view k012Blank = " must be 0,1,2 or blank.";
constexpr std::string_view k01Blank = " must be 0,1 or blank.";
constexpr std::string_view k012 = " must be 0,1 or 2.";
constexpr std::string_view k12 = " must be 1 or 2.";
constexpr std::string_view k123 = " must be 1,2 or 3.";
constexpr std::string_view k1234 = " must be 1,2,3 or 4.";
constexpr std::string_view k0To5 =
    " must be greater than or equal to 0 and less than or equal to 5.";

// clang-format off
constexpr FieldRule kFieldRules[] = {
    blank(Col::Obs),
    blank(Col::StateAbbr),
    {Col::StateAbbr, FieldTest::State, " is not valid."},
    blank(Col::SSN),
    blank(Col::BirthDate),
    date(Col::BirthDate),
    range(Col::Gender, 0, 2, k012Blank),
    range(Col::Disability, 0, 2, k012Blank),
    range(Col::Hispanic, 0, 2, k012Blank),
    range(Col::AmerIndian, 0, 1, k01Blank),
    range(Col::Asian, 0, 1, k01Blank),
    range(Col::Black, 0, 1, k01Blank),
    range(Col::Hawaiian, 0, 1, k01Blank),
    range(Col::White, 0, 1, k01Blank),
    blank(Col::Vet, {}, " cannot be blank."),
    range(Col::Vet, 1, 4, k1234),
    range(Col::EmploymentStatus, 1, 3, k123),
    blank(Col::LEP),
    range(Col::LEP, 1, 2, k12),
    blank(Col::UCStatus),
    range(Col::UCStatus, 1, 4, k1234),
    blank(Col::PellGrant, "Pell Grant Receipient"),
    range(Col::PellGrant, 1, 2, k12),
    blank(Col::SchoolGrade),
    ranges(Col::SchoolGrade, 0, 17, 87, 91, " must be greater than or equal to 0 and less than or equal to 17 or 87,88,89,90 or 91"),
    blank(Col::DislocDate),
    date(Col::DislocDate),
    blank(Col::Tenure),
    blank(Col::AppDate),
    date(Col::AppDate),
    blank(Col::Petition),
    blank(Col::ProgramType),
    range(Col::ProgramType, 1, 3, k123),
    blank(Col::PartDate),
    date(Col::PartDate),
    date(Col::EnterTrainDate),
    date(Col::TrainEndDate),
    range(Col::TrainComp, 0, 2, k012),
    range(Col::Travel, 0, 2, k012),
    range(Col::Subsistence, 0, 2, k012),
    range(Col::RecvdOccTrain, 0, 2, k012),
    range(Col::OJT, 0, 2, k012),
    range(Col::RemedialTrain, 0, 2, k012),
    range(Col::CustomTrain, 0, 2, k012),
    blank(Col::TRA),
    range(Col::TRA, 1, 2, k12),
    blank(Col::AddlTRA),
    range(Col::AddlTRA, 1, 2, k12),
    blank(Col::RemedialTRA),
    range(Col::RemedialTRA, 1, 2, k12),
    blank(Col::Waiver),
    range(Col::Waiver, 0, 7, " must be greater than or equal to 0 and less than or equal to 7.", "Weiver from Training Requirement"),
    blank(Col::JobSearchAllow),
    range(Col::JobSearchAllow, 1, 2, k12),
    blank(Col::Relocation),
    range(Col::Relocation, 1, 2, k12),
    date(Col::WIARegDate),
    blank(Col::FedCoenroll, "Other Federal Co-Enrollement"),
    range(Col::FedCoenroll, 0, 5, k0To5, "Other Federal Co-Enrollement"),
    blank(Col::WIAExitDate),
    date(Col::WIAExitDate),
    ranges(Col::OtherReasonForExit, 0, 5, 98, 99, " must be greater than or equal to 0 and less than or equal to 5 or 98 or 99."),
    blank(Col::EmpQtr1),
    range(Col::EmpQtr1, 1, 2, k12),
    range(Col::TypeEmpQtr1AfterExit, 0, 5, k0To5),
    blank(Col::EmpQtr2AfterExit),
    range(Col::EmpQtr2AfterExit, 1, 2, k12),
    range(Col::TypeEmpQtr2AfterExit, 0, 5, k0To5),
    blank(Col::EmpQtr3),
    range(Col::EmpQtr3, 1, 2, k12),
    range(Col::TypeEmpQtr3AfterExit, 0, 5, k0To5),
    blank(Col::Recalled),
    range(Col::Recalled, 1, 2, k12),
    blank(Col::AORVPart),
    range(Col::AORVPart, 1, 2, k12),
    {Col::OccCode, FieldTest::Numeric, " must be numeric."},
};
// clang-format on

constexpr std::size_t kFieldRuleCount = std::size(kFieldRules);

const std::array<QString, kFieldRuleCount>& fieldMessages() {
    static const std::array<QString, kFieldRuleCount> messages = [] {
        std::array<QString, kFieldRuleCount> m;
        for (std::size_t i = 0; i < kFieldRuleCount; ++i) {
            const FieldRule& r = kFieldRules[i];
            const std::string_view subject =
                r.subject.empty() ? extractColumn(r.col).field : r.subject;
            m[i] = QString::fromLatin1(subject.data(), qsizetype(subject.size())) +
                   QLatin1String(r.text.data(), qsizetype(r.text.size()));
        }
        return m;
    }();
    return messages;
}

bool inRange(double v, const FieldRule& r) {
    return (r.lo <= v && v <= r.hi) || (r.lo2 <= r.hi2 && r.lo2 <= v && v <= r.hi2);
}

// The state as the lookup sees it: a number by its text form.
std::string_view stateText(const FieldValue& v, NumberText& buffer) {
    return v.isNumber() ? formatNumber(v.number, buffer) : v.text;
}

} // namespace

CheckContext::CheckContext(const QSet<QString>& states, const QDate& period, const QDate& periodEnd)
    : mStates(states), mPeriod(period), mPeriodEnd(periodEnd) {
    mStateKeys.reserve(std::size_t(states.size()));
    for (const QString& s : states)
        mStateKeys.push_back(s.toUpper().toStdString());
    std::sort(mStateKeys.begin(), mStateKeys.end());
    const YmdKey p = dateToYmdKey(period), e = dateToYmdKey(periodEnd);
    mPeriodKey = p ? p : kZeroDateKey;
    mPeriodEndKey = e ? e : kZeroDateKey;
}

bool CheckContext::isState(std::string_view text) const {
    char upper[16];
    bool ascii = text.size() <= sizeof upper;
    for (std::size_t i = 0; ascii && i < text.size(); ++i) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) >= 0x80)
            ascii = false;
        upper[i] = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
    }
    if (ascii)
        return std::binary_search(mStateKeys.begin(), mStateKeys.end(),
                                  std::string_view(upper, text.size()));
    const std::string key =
        QString::fromUtf8(text.data(), qsizetype(text.size())).toUpper().toStdString();
    return std::binary_search(mStateKeys.begin(), mStateKeys.end(), key);
}

int runFieldChecks(const ExtractRecord& record, const CheckContext& context,
                   const ErrorSink& onError, QString& state) {
    int failures = 0;
    for (std::size_t i = 0; i < kFieldRuleCount; ++i) {
        const FieldRule& rule = kFieldRules[i];
        const FieldValue& v = record.col(rule.col);
        bool failed = false;
        switch (rule.test) {
        case FieldTest::Blank:
            failed = v.isBlank();
            break;
        case FieldTest::Range:
            if (!v.isBlank()) {
                if (!v.numeric)
                    throw TypeMismatch(pos(rule.col));
                failed = !inRange(v.number, rule);
            }
            break;
        case FieldTest::Date:
            failed = !v.isBlank() && parseYmdKey(v) == 0;
            break;
        case FieldTest::Numeric:
            failed = !v.isBlank() && !v.numeric;
            break;
        case FieldTest::State:
            if (!v.isBlank()) {
                NumberText buffer;
                const std::string_view text = stateText(v, buffer);
                if (!context.isState(text)) {
                    failed = true;
                } else {
                    const QUtf8StringView read(text.data(), qsizetype(text.size()));
                    // Nearly every record repeats the state: assign only when it changes.
                    if (!QAnyStringView::equal(state, read))
                        state = read.toString();
                }
            }
            break;
        }
        if (failed) {
            ++failures;
            onError(fieldMessages()[i]);
        }
    }
    return failures;
}

int firstTypeMismatch(const ExtractRecord& record) {
    for (const ExtractColumn& c : kExtractLayout)
        if (c.kind == ColumnKind::Number && record.col(c.pos).isNonNumericText())
            return c.pos;
    return 0;
}

ColumnRuleText describeColumnRules(int pos) {
    ColumnRuleText out;
    auto number = [](double v) { return QString::number(v, 'g', 10); };
    QStringList allowed;
    for (const FieldRule& r : kFieldRules) {
        if (r.col != Col(pos))
            continue;
        switch (r.test) {
        case FieldTest::Blank:
            out.required = true;
            break;
        case FieldTest::Range: {
            QString text = r.lo == r.hi
                               ? number(r.lo)
                               : QStringLiteral("%1 to %2").arg(number(r.lo), number(r.hi));
            if (r.lo2 <= r.hi2)
                text += r.lo2 == r.hi2
                            ? QStringLiteral(" or %1").arg(number(r.lo2))
                            : QStringLiteral(" or %1 to %2").arg(number(r.lo2), number(r.hi2));
            allowed << text;
            break;
        }
        case FieldTest::Date:
            allowed << QStringLiteral("a valid date, yyyymmdd");
            break;
        case FieldTest::Numeric:
            allowed << QStringLiteral("digits only");
            break;
        case FieldTest::State:
            allowed << QStringLiteral("a state abbreviation");
            break;
        }
    }
    out.allowed = allowed.join(QStringLiteral("; "));
    return out;
}

} // namespace orv
