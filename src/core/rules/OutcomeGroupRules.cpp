#include "rules/OutcomeGroupRules.h"

#include <array>
#include <stdexcept>
#include <string>

namespace orv {

namespace {

// What a quarter after exit shows. Each quarter of a record has exactly one of these codes;
// the values are the digits of the record's code below.
enum QuarterCode { Other = 0, Wage = 1, Supplemental = 2, EmployedOnly = 3, NotEmployed = 4 };

// Whether a quarter's code passes a group's letter for that quarter.
constexpr bool matches(char test, int code) {
    switch (test) {
    case '-':
        return true;
    case 'W':
        return code == Wage;
    case 'S':
        return code == Supplemental;
    case 'Y': // employed, whatever the evidence
        return code == Wage || code == Supplemental || code == EmployedOnly;
    case 'N':
        return code == NotEmployed;
    }
    return false;
}

constexpr bool wellFormed() {
    for (int i = 0; i < kGroupCount; ++i) {
        if (kGroups[i].number != i + 1)
            return false;
        if ((kGroups[i].start == StartStatus::NotTested) != kGroups[i].otherExit)
            return false;
        for (int q = 0; q < 3; ++q) {
            const char c = kGroups[i].quarters[q];
            if (c != '-' && c != 'W' && c != 'S' && c != 'Y' && c != 'N')
                return false;
        }
    }
    return true;
}
static_assert(wellFormed(), "groups numbered 1 up, a known letter per quarter, and the status "
                            "tested by all but the other reasons' group");

// A record's code: its status at participation, then the code of each quarter, in base 5;
// a record with another reason for exit has the one code kOtherExitCode.
constexpr int kStatusScale = 125;
constexpr int kOtherExitCode = 2 * kStatusScale;

int quarterCodeOf(const OptNumber& f, const OptNumber& t, const OptNumber& e) {
    if (f && *f == 1) {
        if (t && *t >= 1 && *t <= 4 && e && *e > 0 && *e < 999999.99)
            return Wage;
        if (t && *t == 5 && (!e || *e == 0))
            return Supplemental;
        return EmployedOnly;
    }
    return (f && *f == 2) ? NotEmployed : Other;
}

// The group of every record code, 0 for none. A code claimed by two groups is a fault in
// the rules, which must exclude one another.
std::array<int, kOtherExitCode + 1> groupsByCode() {
    std::array<int, kOtherExitCode + 1> out{};
    auto claim = [&out](int code, int group) {
        if (out[code] != 0)
            throw std::logic_error("Outcome groups " + std::to_string(out[code]) + " and " +
                                   std::to_string(group) + " overlap.");
        out[code] = group;
    };
    for (const OutcomeGroup& group : kGroups) {
        if (group.otherExit) {
            claim(kOtherExitCode, group.number);
            continue;
        }
        const int status = group.start == StartStatus::Employed ? 1 : 0;
        for (int c1 = 0; c1 < 5; ++c1)
            for (int c2 = 0; c2 < 5; ++c2)
                for (int c3 = 0; c3 < 5; ++c3)
                    if (matches(group.quarters[0], c1) && matches(group.quarters[1], c2) &&
                        matches(group.quarters[2], c3))
                        claim(status * kStatusScale + c1 * 25 + c2 * 5 + c3, group.number);
    }
    return out;
}

} // namespace

int outcomeGroupOf(const GroupInputs& in) {
    static const std::array<int, kOtherExitCode + 1> groups = groupsByCode();
    const OptNumber& other = in.otherReasonForExit;
    if (other && *other != 0 && *other != 98)
        return groups[kOtherExitCode];
    const OptNumber& status = in.employmentStatus;
    int code;
    if (status && *status == 1)
        code = kStatusScale;
    else if (status && (*status == 2 || *status == 3))
        code = 0;
    else
        return 0;
    for (int q = 0, scale = 25; q < 3; ++q, scale /= 5)
        code += quarterCodeOf(in.employed[q], in.type[q], in.wages[q]) * scale;
    return groups[code];
}

} // namespace orv
