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

// clang-format off
inline constexpr std::array<ExtractColumn, kExtractColumns> kExtractLayout{{
    {1, "obs", "Obs", ColumnKind::Number},
    {2, "StateAbbr", "State FIPS code", ColumnKind::Text},
    {3, "SSN", "Individual identifier", ColumnKind::Text},
    {4, "BirthDate", "Date of birth", ColumnKind::Number},
    {5, "Gender", "Gender", ColumnKind::Number},
    {6, "Disability", "Individual with Disability", ColumnKind::Number},
    {7, "Hispanic", "Ethnicity Hispanic/Latino", ColumnKind::Number},
    {8, "AmerIndian", "American Indian or Alaska Native", ColumnKind::Number},
    {9, "Asian", "Asian", ColumnKind::Number},
    {10, "Black", "Black or African American", ColumnKind::Number},
    {11, "Hawaiian", "Hawaiian Native or other Pacific Islander", ColumnKind::Number},
    {12, "White", "White", ColumnKind::Number},
    {13, "Vet", "Eligible Veteran Status", ColumnKind::Number},
    {14, "EmploymentStatus", "Employment Status", ColumnKind::Number},
    {15, "LEP", "Limited English Language Proficiency", ColumnKind::Number},
    {16, "UCStatus", "UC Eligible Status", ColumnKind::Number},
    {17, "PellGrant", "Pell Grant Recipient", ColumnKind::Number},
    {18, "SchoolGrade", "Highest School Grade Completed", ColumnKind::Number},
    {19, "DislocDate", "Most Recent Date of Qualifying Separation", ColumnKind::Number},
    {20, "Tenure", "Tenure with Employer at Most Recent Qualifying Separation", ColumnKind::Number, true},
    {21, "AppDate", "Date of Application", ColumnKind::Number},
    {22, "Petition", "Petition Number", ColumnKind::Number},
    {23, "ProgramType", "Program Type", ColumnKind::Number},
    {24, "PartDate", "Date of Program Participation", ColumnKind::Number},
    {25, "EnterTrainDate", "Date Entered Training", ColumnKind::Number},
    {26, "TrainEndDate", "Date Completed, or Withdrew from, Training", ColumnKind::Number},
    {27, "TrainComp", "Training Completed", ColumnKind::Number},
    {28, "Travel", "Travel While in Training", ColumnKind::Number},
    {29, "Subsistence", "Subsistence While in Training", ColumnKind::Number},
    {30, "OccTrainCode", "Occupational Skill Training Code", ColumnKind::Text},
    {31, "RecvdOccTrain", "Received Occupational Skills (classroom) Training", ColumnKind::Number},
    {32, "OJT", "Received On-the-Job Training", ColumnKind::Number},
    {33, "RemedialTrain", "Received Remedial Training", ColumnKind::Number},
    {34, "CustomTrain", "Received Customized Training", ColumnKind::Number},
    {35, "TRA", "Basic Trade Readjustment Allowances", ColumnKind::Number},
    {36, "AddlTRA", "Additional Basic Trade Readjustment Allowances", ColumnKind::Number},
    {37, "RemedialTRA", "Remedial Trade Readjustment Allowances", ColumnKind::Number},
    {38, "Waiver", "Waiver from Training Requirement", ColumnKind::Number},
    {39, "JobSearchAllow", "Job Search Allowance", ColumnKind::Number},
    {40, "Relocation", "Relocation Allowance", ColumnKind::Number},
    {41, "WIARegDate", "Date of WIA Title IB Participation", ColumnKind::Number},
    {42, "FedCoenroll", "Other Federal Co-Enrollment", ColumnKind::Number},
    {43, "WIAExitDate", "Date of Exit", ColumnKind::Number},
    {44, "OtherReasonForExit", "Other Reasons for Exit", ColumnKind::Number},
    {45, "EmpQTR+1", "Employed in 1st Quarter After Exit Quarter", ColumnKind::Number},
    {46, "TypeEmpQTR+1AfterExit", "Type of Employment Match 1st Quarter After Exit Quarter", ColumnKind::Number},
    {47, "OccCode", "Occupational Code of Employment", ColumnKind::Text},
    {48, "EmpQTR+2AfterExit", "Employed in 2nd Quarter After Exit Quarter", ColumnKind::Number},
    {49, "TypeEmpQTR+2AfterExit", "Type of Employment Match 2nd Quarter After Exit Quarter", ColumnKind::Number},
    {50, "EmpQTR+3", "Employed in 3rd Quarter After Exit Quarter", ColumnKind::Number},
    {51, "TypeEmpQTR+3AfterExit", "Type of Employment Match 3rd Quarter After Exit Quarter", ColumnKind::Number},
    {52, "Earn3QTRPriorToParticipation", "Wages 3rd Quarter Prior to Participation", ColumnKind::Number, true},
    {53, "Earn2QTRPriorToParticipation", "Wages 2nd Quarter Prior to Participation", ColumnKind::Number, true},
    {54, "Earn1QTRPriorToParticipation", "Wages 1st Quarter Prior to Participation", ColumnKind::Number, true},
    {55, "Earn1QTRAfterExit", "Wages 1st Quarter After Exit Quarter", ColumnKind::Number, true},
    {56, "Earn2QTRAfterExit", "Wages 2nd Quarter After Exit Quarter", ColumnKind::Number, true},
    {57, "Earn3QTRAfterExit", "Wages 3rd Quarter After Exit Quarter", ColumnKind::Number, true},
    {58, "Recalled", "Recalled by Layoff Employer", ColumnKind::Number},
    {59, "AORVPart", "Participated in AORV", ColumnKind::Number},
    {60, "OfficeName", "Office Name", ColumnKind::Text},
    {61, "WibName", "WIB Name", ColumnKind::Text},
    {62, "CaseMgr", "Case Manager", ColumnKind::Text},
    {63, "SamplingUnit", "Sampling Unit", ColumnKind::Number},
    {64, "UserId", "User Id", ColumnKind::Text},
}};
// clang-format on

constexpr const ExtractColumn& extractColumn(int pos) {
    return kExtractLayout[static_cast<std::size_t>(pos - 1)];
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
};

} // namespace orv
