#include "Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace orv::ui {

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const double s = size / 32.0;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(31, 78, 140));
        p.drawRoundedRect(QRectF(1 * s, 1 * s, 30 * s, 30 * s), 5 * s, 5 * s);
        // A check mark: the data passed.
        QPainterPath tick;
        tick.moveTo(8 * s, 17 * s);
        tick.lineTo(14 * s, 23 * s);
        tick.lineTo(25 * s, 9 * s);
        p.setPen(QPen(Qt::white, 4 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
        icon.addPixmap(pm);
    }
    return icon;
}

QIcon calendarIcon() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(70, 70, 70));
    p.setBrush(Qt::white);
    p.drawRect(1, 2, 13, 12);
    p.fillRect(2, 3, 12, 3, QColor(190, 45, 45));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 90, 90));
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 4; ++col)
            p.drawRect(3 + col * 3, 8 + row * 3, 2, 2);
    }
    return QIcon(pm);
}

} // namespace orv::ui
