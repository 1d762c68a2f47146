#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace orv {

class Database;
class Session;

// One row of tbltemp as the error-rate computation writes it: one per data element.
struct ErrorRateRow {
    QString label;      // rptcell
    QString periodEnd;  // subpops: the reporting period's end
    QString state;      // ctype: the state and one blank
    QString sampled;    // cfield: sample rows
    QVariant overall;   // cval: 100 x weighted fails / all weight; Null when there is no weight
    QVariant validated; // cweight: the same over the rows marked on the element
    QVariant errors;    // pct: Fail marks
    QString code;       // Ref: "01" to "17"
    int seq = 0;        // the element's index
    QString checked;    // allchecked: completed worksheets
    QString office;     // the office filter of the sign-in
    QVariant invalid;   // InvalidRec: rows flagged Invalid Record, Unable To Locate or Missing
    QVariant wrongSsn;  // WrongSSN
};

// The names of tbltemp's columns in the order the rows fill them.
extern const char* const kErrorRateColumns[13];

// A row's values as text, in the order of kErrorRateColumns; undefined rates read "n/a".
QStringList errorRateCells(const ErrorRateRow& row);

// Halves go to the even digit, as the rates are published.
double roundRate(double value);
// A rate as the screens show it: two decimals, "n/a" when undefined.
QString rateText(const QVariant& rate);

// Turns the sample's marks into weighted error rates: empties tbltemp and writes the 17 rows
// (none for an empty sample), all or nothing. Uses the reporting period's end, the state and
// the office of the session's settings. Throws DbError.
std::vector<ErrorRateRow> ComputeErrorRates(Session& session);

// The rows tbltemp holds, in element order. Throws DbError.
std::vector<ErrorRateRow> readErrorRates(Database& db);

} // namespace orv
