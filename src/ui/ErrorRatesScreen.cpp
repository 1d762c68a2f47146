#include "ErrorRatesScreen.h"

namespace orv::ui {

namespace {
QStringList headers() {
    QStringList h;
    for (const char* column : kErrorRateColumns)
        h << QString::fromLatin1(column);
    return h;
}
} // namespace

ErrorRatesScreen::ErrorRatesScreen(MainWindow& window)
    : RowsScreen(window, {"ErrorRates",
                          "Summary/Analytical Error Rates",
                          "The Summary/Analytical report is not available yet; these are the "
                          "error rates it will show, as just computed.",
                          "grdErrorRates",
                          headers(),
                          {3, 4, 5, 6, 8, 9, 11, 12},
                          12600,
                          6600}) {}

void ErrorRatesScreen::showRows(const std::vector<ErrorRateRow>& rows) {
    std::vector<QStringList> cells;
    for (const ErrorRateRow& r : rows)
        cells.push_back(errorRateCells(r));
    RowsScreen::showRows(cells);
}

} // namespace orv::ui
