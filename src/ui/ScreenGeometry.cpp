#include "ScreenGeometry.h"

#include <QMdiArea>
#include <QMdiSubWindow>
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

void tileScreens(QMdiArea* area, Qt::Orientation orientation) {
    QList<QMdiSubWindow*> open;
    for (QMdiSubWindow* sub : area->subWindowList()) {
        if (sub->isVisible() && !sub->isMinimized())
            open << sub;
    }
    const QRect room = area->viewport()->rect();
    const int n = static_cast<int>(open.size());
    for (int i = 0; i < n; ++i) {
        open[i]->showNormal();
        if (orientation == Qt::Horizontal) {
            const int top = room.height() * i / n;
            open[i]->setGeometry(0, top, room.width(), room.height() * (i + 1) / n - top);
        } else {
            const int left = room.width() * i / n;
            open[i]->setGeometry(left, 0, room.width() * (i + 1) / n - left, room.height());
        }
    }
}

} // namespace orv::ui
