#pragma once

#include <QByteArray>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

class QWidget;

namespace orv::ui {

// Screen sizes are given in twips: 15 to a pixel at 96 dpi.
constexpr int twips(int value) {
    return (value + 7) / 15;
}

// The size of a screen given in twips, grown in proportion when its contents need more room,
// so that no text is ever clipped.
QSize screenSize(int widthTwips, int heightTwips, const QSize& needed);
// Resizes a screen to its size in twips, or larger when its layout needs it.
void fitScreen(QWidget* screen, int widthTwips, int heightTwips);

// Where a screen of the given size goes in an area: centred, but kept 100 twips from the
// area's top or left edge when centring would put it outside.
QPoint centeredIn(const QSize& area, const QSize& screen);

// What is kept of a screen's place between runs: the rectangle it had, with the size it
// opened at, so that a screen that now opens at another size (another mode of it, larger
// fonts) starts afresh rather than at a size made for something else.
QByteArray packPlace(const QSize& opened, const QRect& place);
// The kept size of a screen that opens at `opened`; none when nothing usable is kept.
std::optional<QSize> storedSize(const QSize& opened, const QByteArray& kept);
// Where such a screen goes in an area: its kept place moved inside the area, or centred when
// it does not fit; a null rectangle when nothing usable is kept.
QRect restoredPlace(const QSize& area, const QSize& opened, const QByteArray& kept);

} // namespace orv::ui
