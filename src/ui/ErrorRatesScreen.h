#pragma once

#include "RowsScreen.h"

#include "worksheet/ErrorRates.h"

namespace orv::ui {

// The error rates just computed, one row per data element as tbltemp holds them, until the
// report that prints them is there.
class ErrorRatesScreen : public RowsScreen {
    Q_OBJECT
public:
    explicit ErrorRatesScreen(MainWindow& window);
    void showRows(const std::vector<ErrorRateRow>& rows);
};

} // namespace orv::ui
