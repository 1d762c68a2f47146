#pragma once
#include <QColor>

namespace orv::ui {

// The contrast of two colours as readers of text see it (1:1 to 21:1).
double contrastRatio(const QColor& a, const QColor& b);

// The least contrast text needs to be read by people with low vision.
inline constexpr double kReadableContrast = 4.5;

// The colour itself when text in it reads well on the background; else the same hue made
// lighter on a dark background or darker on a light one, as little as it takes.
QColor readableOn(const QColor& colour, const QColor& background);

} // namespace orv::ui
