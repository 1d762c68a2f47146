#include "ScreenGeometry.h"

#include <QDataStream>
#include <QIODevice>
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

namespace {

constexpr quint8 kPlaceVersion = 1;

struct Kept {
    QSize opened;
    QRect place;
};

std::optional<Kept> unpackPlace(const QByteArray& kept) {
    QDataStream in(kept);
    quint8 version = 0;
    Kept k;
    in >> version >> k.opened >> k.place;
    if (in.status() != QDataStream::Ok || version != kPlaceVersion || !k.place.isValid())
        return std::nullopt;
    return k;
}

} // namespace

QByteArray packPlace(const QSize& opened, const QRect& place) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << kPlaceVersion << opened << place;
    return bytes;
}

std::optional<QSize> storedSize(const QSize& opened, const QByteArray& kept) {
    const std::optional<Kept> k = unpackPlace(kept);
    if (!k || k->opened != opened)
        return std::nullopt;
    return k->place.size();
}

QRect restoredPlace(const QSize& area, const QSize& opened, const QByteArray& kept) {
    const std::optional<Kept> k = unpackPlace(kept);
    if (!k || k->opened != opened)
        return {};
    const QSize size = k->place.size();
    if (size.width() > area.width() || size.height() > area.height())
        return {centeredIn(area, size), size};
    const QPoint at = k->place.topLeft();
    return {QPoint(std::clamp(at.x(), 0, area.width() - size.width()),
                   std::clamp(at.y(), 0, area.height() - size.height())),
            size};
}

} // namespace orv::ui
