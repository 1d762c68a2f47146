#include "ScreenGeometry.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace orv::ui {

QSize screenSize(int widthTwips, int heightTwips, const QSize& needed) {
    const double w = twips(widthTwips);
    const double h = twips(heightTwips);
    const double grow = std::max({1.0, needed.width() / w, needed.height() / h});
    return {static_cast<int>(std::ceil(w * grow)), static_cast<int>(std::ceil(h * grow))};
}

void fitScreen(QWidget* screen, int widthTwips, int heightTwips) {
    screen->ensurePolished();
    QSize needed = screen->minimumSizeHint();
    if (!needed.isValid())
        needed = screen->sizeHint();
    screen->resize(screenSize(widthTwips, heightTwips, needed.expandedTo(QSize(1, 1))));
}

QPoint centeredIn(const QSize& area, const QSize& screen) {
    const int margin = twips(100);
    auto place = [margin](int room, int size) {
        const int at = (room - size) / 2;
        return (at < margin || at + size > room) ? margin : at;
    };
    return {place(area.width(), screen.width()), place(area.height(), screen.height())};
}

} // namespace orv::ui
