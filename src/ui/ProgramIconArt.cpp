#include "ProgramIconArt.h"

#include <QPainter>
#include <QPainterPath>

namespace orv::ui {

void paintProgramIcon(QPainter& p, int size) {
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
}

} // namespace orv::ui
