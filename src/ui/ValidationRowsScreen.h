#pragma once

#include "RowsScreen.h"

#include "validation/ReportValidation.h"

namespace orv::ui {

// The performance measures just recomputed, as tblvalidation holds them, until the
// performance report that prints them is there.
class ValidationRowsScreen : public RowsScreen {
    Q_OBJECT
public:
    explicit ValidationRowsScreen(MainWindow& window);
    void showRows(const std::vector<ValidationRow>& rows);
};

} // namespace orv::ui
