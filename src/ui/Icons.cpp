#include "Icons.h"

#include "ProgramIconArt.h"

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
        paintProgramIcon(p, size);
        p.end();
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

namespace {

using MarkPainter = void (*)(QPainter& p, double s);

QIcon markIcon(MarkPainter draw) {
    QIcon icon;
    for (int size : {12, 16, 20, 24, 32, 48}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p, size / 16.0);
        icon.addPixmap(pm);
    }
    return icon;
}

void drawPassMark(QPainter& p, double s) {
    const QColor green(0, 110, 40);
    p.setPen(QPen(green, 1.4 * s));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(1 * s, 1 * s, 14 * s, 14 * s));
    QPainterPath tick;
    tick.moveTo(4.5 * s, 8.5 * s);
    tick.lineTo(7 * s, 11 * s);
    tick.lineTo(11.5 * s, 5 * s);
    p.setPen(QPen(green, 2 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
}

void drawFailMark(QPainter& p, double s) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 20, 20));
    p.drawEllipse(QRectF(0.5 * s, 0.5 * s, 15 * s, 15 * s));
    p.setPen(QPen(Qt::white, 2.4 * s, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5 * s, 5 * s), QPointF(11 * s, 11 * s));
    p.drawLine(QPointF(11 * s, 5 * s), QPointF(5 * s, 11 * s));
}

} // namespace

QIcon passMarkIcon() {
    return markIcon(drawPassMark);
}

QIcon failMarkIcon() {
    return markIcon(drawFailMark);
}

} // namespace orv::ui
