#include "validation/OutcomeGroups.h"

#include "db/Session.h"
#include "validation/RuleFunctions.h"
#include "validation/Savepoint.h"

#include <array>
#include <string>

namespace orv {

namespace {

// What a quarter after exit shows. Each quarter of a record has exactly one of these codes;
// the values are the digits of the record's code below.
enum QuarterCode { Other = 0, Wage = 1, Supplemental = 2, EmployedOnly = 3, NotEmployed = 4 };

// What a group asks of one quarter.
enum class Q { Any, W, S, Y, N };

bool matches(Q test, int code) {
    switch (test) {
    case Q::Any:
        return true;
    case Q::W:
        return code == Wage;
    case Q::S:
        return code == Supplemental;
    case Q::Y: // employed, whatever the evidence
        return code == Wage || code == Supplemental || code == EmployedOnly;
    case Q::N:
        return code == NotEmployed;
    }
    return false;
}

// Status at participation: 1 employed, 2 or 3 not employed.
enum Status { NotEmployedAtStart = 0, EmployedAtStart = 1 };

struct GroupRule {
    int group;
    Status status;
    Q q1, q2, q3;
};

// Every one of these also needs the exit test.
constexpr std::array<GroupRule, 24> kGroups = {{
    {1, NotEmployedAtStart, Q::W, Q::W, Q::W},  {2, NotEmployedAtStart, Q::W, Q::W, Q::S},
    {3, NotEmployedAtStart, Q::W, Q::S, Q::W},  {4, NotEmployedAtStart, Q::W, Q::S, Q::S},
    {5, NotEmployedAtStart, Q::S, Q::W, Q::W},  {6, NotEmployedAtStart, Q::S, Q::W, Q::S},
    {7, NotEmployedAtStart, Q::S, Q::S, Q::W},  {8, NotEmployedAtStart, Q::S, Q::S, Q::S},
    {9, NotEmployedAtStart, Q::Y, Q::Y, Q::N},  {10, NotEmployedAtStart, Q::Y, Q::N, Q::Y},
    {11, NotEmployedAtStart, Q::Y, Q::N, Q::N}, {12, NotEmployedAtStart, Q::N, Q::Any, Q::Any},
    {13, EmployedAtStart, Q::W, Q::W, Q::W},    {14, EmployedAtStart, Q::W, Q::W, Q::S},
    {15, EmployedAtStart, Q::W, Q::S, Q::W},    {16, EmployedAtStart, Q::W, Q::S, Q::S},
    {17, EmployedAtStart, Q::S, Q::W, Q::W},    {18, EmployedAtStart, Q::S, Q::W, Q::S},
    {19, EmployedAtStart, Q::S, Q::S, Q::W},    {20, EmployedAtStart, Q::S, Q::S, Q::S},
    {21, EmployedAtStart, Q::Y, Q::Y, Q::N},    {22, EmployedAtStart, Q::Y, Q::N, Q::Y},
    {23, EmployedAtStart, Q::Y, Q::N, Q::N},    {24, EmployedAtStart, Q::N, Q::Any, Q::Any},
}};
// Any record that fails the exit test, whatever else it holds.
constexpr int kOtherExitGroup = 25;
constexpr int kOtherExitCode = 250;

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
            throw DbError(
                QStringLiteral("Outcome groups %1 and %2 overlap.").arg(out[code]).arg(group));
        out[code] = group;
    };
    for (const GroupRule& rule : kGroups)
        for (int c1 = 0; c1 < 5; ++c1)
            for (int c2 = 0; c2 < 5; ++c2)
                for (int c3 = 0; c3 < 5; ++c3)
                    if (matches(rule.q1, c1) && matches(rule.q2, c2) && matches(rule.q3, c3))
                        claim(rule.status * 125 + c1 * 25 + c2 * 5 + c3, rule.group);
    claim(kOtherExitCode, kOtherExitGroup);
    return out;
}

} // namespace

int outcomeGroupOf(const GroupInputs& in) {
    static const std::array<int, kOtherExitCode + 1> groups = groupsByCode();
    const OptNumber& other = in.otherReasonForExit;
    if (other && *other != 0 && *other != 98)
        return groups[kOtherExitCode];
    const OptNumber& status = in.employmentStatus;
    int start;
    if (status && *status == 1)
        start = EmployedAtStart;
    else if (status && (*status == 2 || *status == 3))
        start = NotEmployedAtStart;
    else
        return 0;
    int code = start * 125;
    for (int q = 0, scale = 25; q < 3; ++q, scale /= 5)
        code += quarterCodeOf(in.employed[q], in.type[q], in.wages[q]) * scale;
    return groups[code];
}

void AssignOutcomeGroups(Session& session) {
    if (session.settings.popType != QLatin1String("1"))
        return;
    Database& db = session.db();
    Savepoint sp(db, "orv_groups");
    // The rules of outcomeGroupOf, so that this pass and the import's agree by construction.
    // The group is worked out twice per record, which costs less than a join that reads the
    // table out of order.
    registerRuleFunctions(db);
    const std::string group =
        "orv_outcome_group(EmploymentStatus, OtherReasonForExit, \"EmpQTR+1\", "
        "\"TypeEmpQTR+1AfterExit\", Earn1QTRAfterExit, \"EmpQTR+2AfterExit\", "
        "\"TypeEmpQTR+2AfterExit\", Earn2QTRAfterExit, \"EmpQTR+3\", "
        "\"TypeEmpQTR+3AfterExit\", Earn3QTRAfterExit)";
    db.exec("UPDATE tblORVmaster SET (spopnum, subpop, pop) = (SELECT g, '1.' || g, 1 FROM "
            "(SELECT " +
            group + " AS g)) WHERE " + group + " <> 0");
    sp.release();
}

} // namespace orv
