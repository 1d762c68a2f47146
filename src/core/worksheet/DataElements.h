#pragma once

#include <QString>
#include <QVariant>

#include <array>

namespace orv {

// One of the 17 data elements a validator checks on a worksheet. Each screen and statement
// names the element its own way; all the names live here, in the elements' fixed order.
struct DataElement {
    const char* worksheetName; // the worksheet's line label after "n. "
    const char* valueColumn;   // the reported value in tblsample
    const char* markColumn;    // the mark: 0 Pass, 1 Fail, Null unmarked
    const char* listName;      // the sample list's column header
    const char* failSumName;   // the failed-marks grid's column header
    const char* rateLabel;     // the error-rate row's label
};

inline constexpr int kElementCount = 17;
extern const std::array<DataElement, kElementCount> kDataElements;

// A column name quoted as an SQL identifier.
QString quotedColumn(const char* name);

// A value as the screens show it: Null empty, whole numbers without decimals.
QString displayText(const QVariant& value);

} // namespace orv
