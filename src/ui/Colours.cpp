#include "Colours.h"

#include <algorithm>
#include <cmath>

namespace orv::ui {

namespace {

double channel(double c) {
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c) {
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOn(const QColor& colour, const QColor& background) {
    if (contrastRatio(colour, background) >= kReadableContrast)
        return colour;
    const QColor toward = luminance(background) < 0.5 ? QColor(Qt::white) : QColor(Qt::black);
    // Mixed toward white or black a step at a time: the first that reads well.
    for (int step = 1; step <= 20; ++step) {
        const double t = step / 20.0;
        const QColor mixed = QColor::fromRgbF(
            static_cast<float>(colour.redF() + (toward.redF() - colour.redF()) * t),
            static_cast<float>(colour.greenF() + (toward.greenF() - colour.greenF()) * t),
            static_cast<float>(colour.blueF() + (toward.blueF() - colour.blueF()) * t));
        if (contrastRatio(mixed, background) >= kReadableContrast)
            return mixed;
    }
    return toward;
}

} // namespace orv::ui
