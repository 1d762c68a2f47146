#pragma once

#include <array>
#include <optional>

namespace orv {

// The employment status at participation that a group asks for: 1 employed, 2 or 3 not.
enum class StartStatus { NotEmployed, Employed, NotTested };

// One performance outcome group: spopnum `number`, subpop '1.number', pop 1.
//
// Each quarter after exit is one letter of `quarters`: W employed on wage records, S employed
// on supplemental data, Y employed either way, N not employed, - not tested. Every group but
// the one of the other reasons for exit needs there to be no other reason.
struct OutcomeGroup {
    int number;
    StartStatus start;
    char quarters[4];
    bool otherExit = false;

    constexpr bool employedIn(int quarter) const {
        const char q = quarters[quarter];
        return q == 'W' || q == 'S' || q == 'Y';
    }

    // The sets of groups that the performance measures add up.
    constexpr bool notEmployedAtStart() const { return start == StartStatus::NotEmployed; }
    constexpr bool enteredEmployment() const { return notEmployedAtStart() && employedIn(0); }
    constexpr bool employedFirstQuarter() const { return employedIn(0); }
    constexpr bool employedEveryQuarter() const {
        return employedIn(0) && employedIn(1) && employedIn(2);
    }
    constexpr bool wagesEveryQuarter() const {
        return quarters[0] == 'W' && quarters[1] == 'W' && quarters[2] == 'W';
    }
};

inline constexpr std::array<OutcomeGroup, 25> kGroups = {{
    {1, StartStatus::NotEmployed, "WWW"},      {2, StartStatus::NotEmployed, "WWS"},
    {3, StartStatus::NotEmployed, "WSW"},      {4, StartStatus::NotEmployed, "WSS"},
    {5, StartStatus::NotEmployed, "SWW"},      {6, StartStatus::NotEmployed, "SWS"},
    {7, StartStatus::NotEmployed, "SSW"},      {8, StartStatus::NotEmployed, "SSS"},
    {9, StartStatus::NotEmployed, "YYN"},      {10, StartStatus::NotEmployed, "YNY"},
    {11, StartStatus::NotEmployed, "YNN"},     {12, StartStatus::NotEmployed, "N--"},
    {13, StartStatus::Employed, "WWW"},        {14, StartStatus::Employed, "WWS"},
    {15, StartStatus::Employed, "WSW"},        {16, StartStatus::Employed, "WSS"},
    {17, StartStatus::Employed, "SWW"},        {18, StartStatus::Employed, "SWS"},
    {19, StartStatus::Employed, "SSW"},        {20, StartStatus::Employed, "SSS"},
    {21, StartStatus::Employed, "YYN"},        {22, StartStatus::Employed, "YNY"},
    {23, StartStatus::Employed, "YNN"},        {24, StartStatus::Employed, "N--"},
    {25, StartStatus::NotTested, "---", true},
}};
inline constexpr int kGroupCount = static_cast<int>(kGroups.size());

// Group `number`, 1 to kGroupCount.
constexpr const OutcomeGroup& outcomeGroup(int number) {
    return kGroups[static_cast<std::size_t>(number - 1)];
}

// The values of one record that decide its group; empty for Null.
using OptNumber = std::optional<double>;
struct GroupInputs {
    OptNumber employmentStatus;
    OptNumber otherReasonForExit;
    OptNumber employed[3]; // EmpQTR+1, EmpQTR+2AfterExit, EmpQTR+3
    OptNumber type[3];     // TypeEmpQTR+nAfterExit
    OptNumber wages[3];    // EarnnQTRAfterExit
};
// The group the statements of AssignOutcomeGroups give a record, 0 for none: lets the import
// place each record as it loads instead of rewriting the whole table afterwards.
int outcomeGroupOf(const GroupInputs& in);

} // namespace orv
