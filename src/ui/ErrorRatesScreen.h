#pragma once

#include "worksheet/ErrorRates.h"

#include <QWidget>

#include <vector>

class QTableWidget;

namespace orv::ui {

class MainWindow;

// The error rates just computed, one row per data element as tbltemp holds them, until the
// report and the export that print them are there.
class ErrorRatesScreen : public QWidget {
    Q_OBJECT
public:
    explicit ErrorRatesScreen(MainWindow& window);

    void showRows(const std::vector<ErrorRateRow>& rows);

private:
    MainWindow& mWindow;
    QTableWidget* mTable = nullptr;
};

} // namespace orv::ui
