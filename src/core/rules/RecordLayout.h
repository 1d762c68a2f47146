#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace orv {

// Columns of one extract line; the master table has these plus seven derived ones.
constexpr int kExtractColumns = 64;
// Columns 1-59 are edit-checked; the rest are loaded as read.
constexpr int kCheckedColumns = 59;
// Columns the master table adds after the file's (Weight, subpop, spopnum, pop, randno,
// fWIARegDate, fWIAexitdate).
constexpr int kDerivedColumns = 7;

enum class ColumnKind : std::uint8_t { Number, Text };

struct ExtractColumn {
    int pos;                 // 1-based position in the line and in tblORVmaster
    std::string_view master; // column name in tblORVmaster
    std::string_view field;  // the name the edit-check messages use
    ColumnKind kind;
    bool real = false; // a number column that keeps decimals (wages, tenure)
};

// The extract's columns in their order: the enumerator that names each in the code, its column
// in tblORVmaster, the name the edit-check messages use, its kind, and whether a number keeps
// decimals (wages, tenure). The enumeration and the layout table are both made from this list.
// clang-format off
#define ORV_EXTRACT_COLUMNS(X) \
    X(Obs, "obs", "Obs", Number, false) \
    X(StateAbbr, "StateAbbr", "State FIPS code", Text, false) \
    X(SSN, "SSN", "Individual identifier", Text, false) \
    X(BirthDate, "BirthDate", "Date of birth", Number, false) \
    X(Gender, "Gender", "Gender", Number, false) \
    X(Disability, "Disability", "Individual with Disability", Number, false) \
    X(Hispanic, "Hispanic", "Ethnicity Hispanic/Latino", Number, false) \
    X(AmerIndian, "AmerIndian", "American Indian or Alaska Native", Number, false) \
    X(Asian, "Asian", "Asian", Number, false) \
    X(Black, "Black", "Black or African American", Number, false) \
    X(Hawaiian, "Hawaiian", "Hawaiian Native or other Pacific Islander", Number, false) \
    X(White, "White", "White", Number, false) \
    X(Vet, "Vet", "Eligible Veteran Status", Number, false) \
    X(EmploymentStatus, "EmploymentStatus", "Employment Status", Number, false) \
    X(LEP, "LEP", "Limited English Language Proficiency", Number, false) \
    X(UCStatus, "UCStatus", "UC Eligible Status", Number, false) \
    X(PellGrant, "PellGrant", "Pell Grant Recipient", Number, false) \
    X(SchoolGrade, "SchoolGrade", "Highest School Grade Completed", Number, false) \
    X(DislocDate, "DislocDate", "Most Recent Date of Qualifying Separation", Number, false) \
    X(Tenure, "Tenure", "Tenure with Employer at Most Recent Qualifying Separation", Number, true) \
    X(AppDate, "AppDate", "Date of Application", Number, false) \
    X(Petition, "Petition", "Petition Number", Number, false) \
    X(ProgramType, "ProgramType", "Program Type", Number, false) \
    X(PartDate, "PartDate", "Date of Program Participation", Number, false) \
    X(EnterTrainDate, "EnterTrainDate", "Date Entered Training", Number, false) \
    X(TrainEndDate, "TrainEndDate", "Date Completed, or Withdrew from, Training", Number, false) \
    X(TrainComp, "TrainComp", "Training Completed", Number, false) \
    X(Travel, "Travel", "Travel While in Training", Number, false) \
    X(Subsistence, "Subsistence", "Subsistence While in Training", Number, false) \
    X(OccTrainCode, "OccTrainCode", "Occupational Skill Training Code", Text, false) \
    X(RecvdOccTrain, "RecvdOccTrain", "Received Occupational Skills (classroom) Training", Number, false) \
    X(OJT, "OJT", "Received On-the-Job Training", Number, false) \
    X(RemedialTrain, "RemedialTrain", "Received Remedial Training", Number, false) \
    X(CustomTrain, "CustomTrain", "Received Customized Training", Number, false) \
    X(TRA, "TRA", "Basic Trade Readjustment Allowances", Number, false) \
    X(AddlTRA, "AddlTRA", "Additional Basic Trade Readjustment Allowances", Number, false) \
    X(RemedialTRA, "RemedialTRA", "Remedial Trade Readjustment Allowances", Number, false) \
    X(Waiver, "Waiver", "Waiver from Training Requirement", Number, false) \
    X(JobSearchAllow, "JobSearchAllow", "Job Search Allowance", Number, false) \
    X(Relocation, "Relocation", "Relocation Allowance", Number, false) \
    X(WIARegDate, "WIARegDate", "Date of WIA Title IB Participation", Number, false) \
    X(FedCoenroll, "FedCoenroll", "Other Federal Co-Enrollment", Number, false) \
    X(WIAExitDate, "WIAExitDate", "Date of Exit", Number, false) \
    X(OtherReasonForExit, "OtherReasonForExit", "Other Reasons for Exit", Number, false) \
    X(EmpQtr1, "EmpQTR+1", "Employed in 1st Quarter After Exit Quarter", Number, false) \
    X(TypeEmpQtr1AfterExit, "TypeEmpQTR+1AfterExit", "Type of Employment Match 1st Quarter After Exit Quarter", Number, false) \
    X(OccCode, "OccCode", "Occupational Code of Employment", Text, false) \
    X(EmpQtr2AfterExit, "EmpQTR+2AfterExit", "Employed in 2nd Quarter After Exit Quarter", Number, false) \
    X(TypeEmpQtr2AfterExit, "TypeEmpQTR+2AfterExit", "Type of Employment Match 2nd Quarter After Exit Quarter", Number, false) \
    X(EmpQtr3, "EmpQTR+3", "Employed in 3rd Quarter After Exit Quarter", Number, false) \
    X(TypeEmpQtr3AfterExit, "TypeEmpQTR+3AfterExit", "Type of Employment Match 3rd Quarter After Exit Quarter", Number, false) \
    X(Earn3QTRPriorToParticipation, "Earn3QTRPriorToParticipation", "Wages 3rd Quarter Prior to Participation", Number, true) \
    X(Earn2QTRPriorToParticipation, "Earn2QTRPriorToParticipation", "Wages 2nd Quarter Prior to Participation", Number, true) \
    X(Earn1QTRPriorToParticipation, "Earn1QTRPriorToParticipation", "Wages 1st Quarter Prior to Participation", Number, true) \
    X(Earn1QTRAfterExit, "Earn1QTRAfterExit", "Wages 1st Quarter After Exit Quarter", Number, true) \
    X(Earn2QTRAfterExit, "Earn2QTRAfterExit", "Wages 2nd Quarter After Exit Quarter", Number, true) \
    X(Earn3QTRAfterExit, "Earn3QTRAfterExit", "Wages 3rd Quarter After Exit Quarter", Number, true) \
    X(Recalled, "Recalled", "Recalled by Layoff Employer", Number, false) \
    X(AORVPart, "AORVPart", "Participated in AORV", Number, false) \
    X(OfficeName, "OfficeName", "Office Name", Text, false) \
    X(WibName, "WibName", "WIB Name", Text, false) \
    X(CaseMgr, "CaseMgr", "Case Manager", Text, false) \
    X(SamplingUnit, "SamplingUnit", "Sampling Unit", Number, false) \
    X(UserId, "UserId", "User Id", Text, false)
// clang-format on

// A column of the extract by name; its value is its 1-based position.
enum class Col : int {
    None = 0,
#define ORV_COLUMN_ENUMERATOR(name, master, field, kind, real) name,
    ORV_EXTRACT_COLUMNS(ORV_COLUMN_ENUMERATOR)
#undef ORV_COLUMN_ENUMERATOR
};
static_assert(static_cast<int>(Col::UserId) == kExtractColumns);

constexpr int pos(Col c) {
    return static_cast<int>(c);
}

inline constexpr std::array<ExtractColumn, kExtractColumns> kExtractLayout{{
#define ORV_COLUMN_ROW(name, master, field, kind, real)                                            \
    {pos(Col::name), master, field, ColumnKind::kind, real},
    ORV_EXTRACT_COLUMNS(ORV_COLUMN_ROW)
#undef ORV_COLUMN_ROW
}};

constexpr const ExtractColumn& extractColumn(int pos) {
    return kExtractLayout[static_cast<std::size_t>(pos - 1)];
}
constexpr const ExtractColumn& extractColumn(Col c) {
    return extractColumn(pos(c));
}
constexpr bool isNumberColumn(int pos) {
    return extractColumn(pos).kind == ColumnKind::Number;
}

// The position of a master column name (case-insensitive), or 0 when the file has no such column.
int extractColumnPos(std::string_view masterName);

// One value of a line, as read. Views point into the reader's buffers and stay valid until the
// reader moves to the next line.
struct FieldValue {
    enum class Kind : std::uint8_t { Blank, Number, Text };

    Kind kind = Kind::Blank;
    // Number, or Text whose content is a plain decimal number (a quoted "12" can still be compared
    // as 12 and stored in a number column).
    bool numeric = false;
    // Unquoted: trimmed of blanks. Quoted: the content between the quotes.
    std::string_view text;
    double number = 0; // meaningful when numeric

    bool isBlank() const { return kind == Kind::Blank; }
    bool isNumber() const { return kind == Kind::Number; }
    bool isText() const { return kind == Kind::Text; }
    // Text that cannot be taken as a number: a number column refuses it.
    bool isNonNumericText() const { return kind == Kind::Text && !numeric; }
};

struct ExtractRecord {
    std::array<FieldValue, kExtractColumns> values;

    // 1-based, as the column positions are numbered everywhere.
    const FieldValue& col(int pos) const { return values[static_cast<std::size_t>(pos - 1)]; }
    FieldValue& col(int pos) { return values[static_cast<std::size_t>(pos - 1)]; }
    const FieldValue& col(Col c) const { return col(pos(c)); }
    FieldValue& col(Col c) { return col(pos(c)); }
};

} // namespace orv
