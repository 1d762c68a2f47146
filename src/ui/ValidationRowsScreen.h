#pragma once

#include "validation/ReportValidation.h"

#include <QWidget>

#include <vector>

class QTableWidget;

namespace orv::ui {

class MainWindow;

// The performance measures just recomputed, as tblvalidation holds them, until the
// performance report that prints them is there.
class ValidationRowsScreen : public QWidget {
    Q_OBJECT
public:
    explicit ValidationRowsScreen(MainWindow& window);

    void showRows(const std::vector<ValidationRow>& rows);

private:
    MainWindow& mWindow;
    QTableWidget* mTable = nullptr;
};

} // namespace orv::ui
