#include "worksheet/History.h"
namespace orv {
int appendWorksheetHistory(Database&, const QString&, const QVariant&, const QVariant&,
                           const WorksheetValues&, const WorksheetValues&) {
    return 0;
}
} // namespace orv
