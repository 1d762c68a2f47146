#pragma once

#include <QDateTime>
#include <QString>

namespace orv {

class Session;

// The state's two-letter code for its name, any case ("alabama" gives AL, both "Maryland"
// and "State of Maryland" MD); a text that is no name comes back unchanged, so a code passes.
QString StateCodeFromName(const QString& name);

// The fields of a summary record, in their order.
inline constexpr int kSummaryFieldCount = 20;
extern const char* const kSummaryFields[kSummaryFieldCount];

// "7-15-2008_3_04_05_PM.xml": the general date and time, made a file name.
QString summaryFileName(const QDateTime& when);

struct [[nodiscard]] SummaryExportResult {
    bool ok = false;
    QString path;
    int records = 0;
};

// Writes the summary/analytical file for submission from the error-rate rows in tbltemp (run
// ComputeErrorRates first), the sign-in settings and the summary comments. UTF-8:
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <SummaryAnalytical ReportKind="2">
//     <Record>                                 one per data element, in element order
//       <StateCode>NY</StateCode>              StateCodeFromName of the State setting
//       <ProgramDescription>ORV</ProgramDescription>
//       <ProgramYear>2008</ProgramYear>        the fiscal year
//       <SubmissionStartDate>07/01/2006</SubmissionStartDate>   the reporting period,
//       <SubmissionEndDate>06/30/2007</SubmissionEndDate>       MM/DD/YYYY
//       <SubmissionDueDate>2/1/2009</SubmissionDueDate>         February 1 after the year
//       <ReportDescription>Summary Analytical</ReportDescription>
//       <ValidationType>DEV</ValidationType>
//       <Comments>...</Comments>               the summary comments
//       <SampledCases>40</SampledCases>        sample rows
//       <ValidatedCases>12</ValidatedCases>    completed worksheets
//       <InvalidRecords>1</InvalidRecords>     Invalid Record, Unable To Locate or Missing
//       <WrongSSN>0</WrongSSN>
//       <DataElement>Vet</DataElement>         the element's label
//       <DataElementNumber>01</DataElementNumber>
//       <NumbertoValidate/>                    always empty
//       <NumberOfErrors>3</NumberOfErrors>     Fail marks
//       <OverAllErrorRate>7.5</OverAllErrorRate>    weighted, percent, 2 decimals at most
//       <ReportedErrorRate>10</ReportedErrorRate>   the same over the marked rows
//       <Significance/>                        always empty
//     </Record>
//   </SummaryAnalytical>
//
// Every field is present in every record, in this order; an empty element stands for an empty
// or Null value (an undefined rate among them). Numbers are plain: 40, 33.33.
//
// path: the file to write; empty for summaryFileName(now) in the program folder. The file is
// written whole or not at all: a value with a character XML cannot hold (a control character
// pasted into the comments, say) is named in a message and no file is made. Without a sample
// there is nothing to submit: no file is made and the user is told so. Tells the outcome
// through the session's front end.
SummaryExportResult ExportSummaryXml(Session& session, const QString& path = {});

} // namespace orv
