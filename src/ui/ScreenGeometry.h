#pragma once

#include <QPoint>
#include <QSize>

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

} // namespace orv::ui
