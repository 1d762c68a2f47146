#pragma once

#include "worksheet/DataElements.h"

#include <QString>
#include <QVariant>

#include <array>
#include <vector>

namespace orv {

class Database;

enum class Mark { None, Pass, Fail };

// A stored mark: 0 Pass, 1 Fail; anything else (Null included) is no mark.
Mark markFromValue(const QVariant& value);
// "P", "F" or "" as the batch front end prints a mark.
QString markLetter(Mark mark);

// The sample list's columns: OBS, SSN, sampling unit, then each element's value and its mark.
inline constexpr int kListColumnCount = 3 + 2 * kElementCount;
// Header of a list column: its name, or "Pass/Fail" for a mark column.
QString listColumnHeader(int column);
bool isMarkColumn(int column);
// The element a value or mark column belongs to; -1 for the first three columns.
int listColumnElement(int column);
// The column's width as first laid out: 60 for a mark column, else 12 per character of the
// name; OBS, SSN and the first value column are then widened to 100, 150 and 150.
int listColumnWidth(int column);
// The column a name picks: a list column's name or a mark column's own name (VetP/F), in any
// case; -1 when none.
int listColumnByName(const QString& name);

// How the list is sorted: by a column (clicked header) and direction; unsorted lists by OBS.
struct SampleOrder {
    int column = -1;
    bool descending = false;
    bool isSet() const { return column >= 0; }
    QString directionText() const;
    // "Sort order: SSN Asc"
    QString title() const;
};

// A header click's order, given the direction of the click before ("", "Asc" or "Desc"): the
// direction alternates with every click, whichever column was clicked; the first is ascending.
SampleOrder headerClickOrder(int column, const QString& lastDirection);

// One sample row joined to its master record, as the list shows it.
struct SampleListRow {
    qint64 rowId = 0; // the sample row itself: the worksheet's key
    QString obs;
    QString ssn;
    QString samplingUnit; // the master's
    std::array<QString, kElementCount> values;
    std::array<Mark, kElementCount> marks{};
    bool completed = false; // chk = 'Yes'

    // The text of a list column as the find screen searches it (marks show no text).
    QString cellText(int column) const;
};

// The sample rows that have a master record, in the order (by OBS when it is not set).
// Throws DbError.
std::vector<SampleListRow> readSampleList(Database& db, const SampleOrder& order = {});

// The counts beside the list.
struct SampleTotals {
    qint64 inSample = 0; // rows of the list
    qint64 inspected = 0;
    qint64 wrongSsn = 0;
    qint64 invalidRecord = 0;
    qint64 unableToLocate = 0;
    qint64 missingRecord = 0;
    // Failed marks per element over the whole sample; Null when no row is marked.
    std::array<QVariant, kElementCount> failed;
};
SampleTotals readSampleTotals(Database& db);

// The labels of the counts, as the screen and the batch front end show them.
inline const char* const kTotalLabels[] = {
    "Number in sample:", "Total inspected:",  "Wrong SSN:",
    "Invalid Record:",   "Unable to Locate:", "Missing Record:"};

} // namespace orv
