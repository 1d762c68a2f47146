#include "BarChart.h"

#include "TextPages.h"

#include "reports/ReportEngine.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace orv {

namespace {

constexpr qreal kMargin = 10;
constexpr qreal kGap = 4;
constexpr int kTickSteps = 4;    // steps of the value axis between zero and its top
constexpr qreal kBarShare = 0.6; // of a label's slot
constexpr qreal kLineWidth = 0.5;
const QColor kTextColor(64, 64, 64);
const QColor kAxisColor(160, 160, 160);
const QColor kGridColor(224, 224, 224);

QFont chartFont(qreal points, bool bold = false) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// A round top a tenth above the highest bar, so that its value fits above it.
double axisTop(const QVector<double>& values) {
    const double top = values.isEmpty() ? 0 : *std::max_element(values.begin(), values.end());
    return top > 0 ? std::ceil(top * 1.1) : 1;
}

QString tickText(double value) {
    return QString::number(value, 'f', 2);
}

class BarChartPainter {
public:
    BarChartPainter(QPainter& painter, const ReportChartData& data, QSizeF size)
        : mPainter(painter), mData(data), mSize(size), mTop(axisTop(data.values)),
          mTitleFont(chartFont(11)), mLabelFont(chartFont(7.5)), mAxisFont(chartFont(8, true)),
          mLabels(mLabelFont, painter.device()) {
        mPlot = plotArea();
    }

    void draw() {
        drawTitle();
        drawValueAxis();
        drawLabelAxis();
        drawBars();
    }

private:
    // What is left once the title, the value axis with its title and the labels have room.
    QRectF plotArea() const {
        const QPaintDevice* device = mPainter.device();
        qreal left = kMargin + mLabels.horizontalAdvance(tickText(mTop)) + kGap;
        if (!mData.axis.isEmpty())
            left += QFontMetricsF(mAxisFont, device).height() + kGap;
        qreal top = kMargin + mLabels.height() / 2;
        if (!mData.title.isEmpty())
            top += QFontMetricsF(mTitleFont, device).height() + kGap;
        const qreal bottom = mSize.height() - kMargin - mLabels.height() - kGap;
        return QRectF(QPointF(left, top), QPointF(mSize.width() - kMargin, bottom));
    }

    qreal yOf(double value) const {
        return mPlot.bottom() - std::clamp(value / mTop, 0.0, 1.0) * mPlot.height();
    }

    qreal slotWidth() const { return mPlot.width() / qreal(std::max<qsizetype>(1, slotCount())); }
    qsizetype slotCount() const { return std::max(mData.labels.size(), mData.values.size()); }

    void drawTitle() {
        mPainter.setFont(mTitleFont);
        mPainter.setPen(kTextColor);
        mPainter.drawText(QRectF(0, kMargin, mSize.width(), mPlot.top()),
                          Qt::AlignHCenter | Qt::AlignTop, mData.title);
    }

    // Grid lines with their values at the left, and the axis's title turned along it.
    void drawValueAxis() {
        mPainter.setFont(mLabelFont);
        for (int step = 0; step <= kTickSteps; ++step) {
            const double value = mTop * step / kTickSteps;
            const qreal y = yOf(value);
            mPainter.setPen(QPen(step == 0 ? kAxisColor : kGridColor, kLineWidth));
            mPainter.drawLine(QPointF(mPlot.left(), y), QPointF(mPlot.right(), y));
            mPainter.setPen(kTextColor);
            mPainter.drawText(
                QRectF(0, y - mLabels.height() / 2, mPlot.left() - kGap, mLabels.height()),
                Qt::AlignRight | Qt::AlignVCenter, tickText(value));
        }
        mPainter.setPen(QPen(kAxisColor, kLineWidth));
        mPainter.drawLine(mPlot.topLeft(), mPlot.bottomLeft());
        if (mData.axis.isEmpty())
            return;
        mPainter.save();
        mPainter.setFont(mAxisFont);
        mPainter.setPen(kTextColor);
        mPainter.translate(kMargin, mPlot.center().y());
        mPainter.rotate(-90);
        mPainter.drawText(QRectF(-mPlot.height() / 2, 0, mPlot.height(),
                                 QFontMetricsF(mAxisFont, mPainter.device()).height()),
                          Qt::AlignCenter, mData.axis);
        mPainter.restore();
    }

    // Each label under its slot, cut short with an ellipsis when it is wider.
    void drawLabelAxis() {
        const qreal slot = slotWidth();
        mPainter.setFont(mLabelFont);
        for (qsizetype i = 0; i < slotCount(); ++i) {
            const qreal x = mPlot.left() + qreal(i) * slot;
            mPainter.setPen(QPen(kAxisColor, kLineWidth));
            mPainter.drawLine(QPointF(x + slot, mPlot.bottom()),
                              QPointF(x + slot, mPlot.bottom() + kGap));
            const QString label = i < mData.labels.size() ? mData.labels[i] : QString();
            mPainter.setPen(kTextColor);
            mPainter.drawText(QRectF(x, mPlot.bottom() + kGap, slot, mLabels.height()),
                              Qt::AlignHCenter | Qt::AlignTop,
                              mLabels.elidedText(label, Qt::ElideRight, slot));
        }
    }

    void drawBars() {
        const qreal slot = slotWidth();
        mPainter.setFont(mLabelFont);
        for (qsizetype i = 0; i < mData.values.size(); ++i) {
            const double value = mData.values[i];
            const qreal x = mPlot.left() + qreal(i) * slot;
            const qreal y = yOf(value);
            mPainter.fillRect(QRectF(QPointF(x + slot * (1 - kBarShare) / 2, y),
                                     QPointF(x + slot * (1 + kBarShare) / 2, mPlot.bottom())),
                              QColor(kChartBarColor));
            mPainter.setPen(kTextColor);
            mPainter.drawText(QRectF(x, y - mLabels.height() - 1, slot, mLabels.height()),
                              Qt::AlignHCenter | Qt::AlignBottom, QString::number(value));
        }
    }

    QPainter& mPainter;
    const ReportChartData& mData;
    QSizeF mSize;
    double mTop;
    QFont mTitleFont;
    QFont mLabelFont;
    QFont mAxisFont;
    QFontMetricsF mLabels;
    QRectF mPlot;
};

} // namespace

QImage drawBarChart(const ReportChartData& data, QSizeF size, qreal scale) {
    QImage image((size * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDotsPerMeterX(kPointDotsPerMeter);
    image.setDotsPerMeterY(kPointDotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    BarChartPainter(painter, data, size).draw();
    return image;
}

} // namespace orv
