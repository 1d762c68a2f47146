#include "ValidationRowsScreen.h"

#include "validation/MasterPager.h"

namespace orv::ui {

ValidationRowsScreen::ValidationRowsScreen(MainWindow& window)
    : RowsScreen(window,
                 {"ValidationRows",
                  "Performance Report",
                  "The performance report (R003-1) is not available yet; these are the "
                  "rows it will print, as just computed.",
                  "grdValidation",
                  {QStringLiteral("description"), QStringLiteral("value"), QStringLiteral("rtype")},
                  {1},
                  9000,
                  4800}) {}

void ValidationRowsScreen::showRows(const std::vector<ValidationRow>& rows) {
    std::vector<QStringList> cells;
    for (const ValidationRow& r : rows)
        cells.push_back({r.description, cellText(r.value), r.rtype});
    RowsScreen::showRows(cells);
}

} // namespace orv::ui
