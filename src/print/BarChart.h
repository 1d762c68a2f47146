#pragma once

#include <QImage>
#include <QRgb>
#include <QSizeF>

namespace orv {

struct ReportChartData;

constexpr QRgb kChartBarColor = qRgb(70, 90, 160);

// A report's bar chart: the title, a value axis from zero with its title, one bar a label with
// its value above it. Drawn with QPainter alone, so that reports need no widgets. size is in
// points; the image has scale pixels a point.
QImage drawBarChart(const ReportChartData& data, QSizeF size, qreal scale);

} // namespace orv
