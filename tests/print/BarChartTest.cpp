// A report's bar chart as drawn: the bars read back from the image's pixels.
#include "BarChart.h"

#include "reports/ReportEngine.h"

#include <gtest/gtest.h>

#include <QImage>

using namespace orv;

namespace {

struct Bar {
    double centre; // in pixels
    int top;
    int bottom;
};

// Runs of columns that hold the bars' colour, measured in their middle column.
std::vector<Bar> barsOf(const QImage& image) {
    auto barRows = [&](int x, int& top, int& bottom) {
        top = image.height();
        bottom = -1;
        for (int y = 0; y < image.height(); ++y) {
            if ((image.pixel(x, y) & RGB_MASK) == (kChartBarColor & RGB_MASK)) {
                top = std::min(top, y);
                bottom = y;
            }
        }
        return bottom >= 0;
    };
    std::vector<Bar> bars;
    int top = 0;
    int bottom = 0;
    for (int x = 0, start = -1; x <= image.width(); ++x) {
        const bool inBar = x < image.width() && barRows(x, top, bottom);
        if (inBar && start < 0)
            start = x;
        if (!inBar && start >= 0) {
            const int middle = (start + x) / 2;
            barRows(middle, top, bottom);
            bars.push_back({(start + x - 1) / 2.0, top, bottom});
            start = -1;
        }
    }
    return bars;
}

} // namespace

// Every bar stands on one baseline, as high as its value, in its label's place; a zero has none.
TEST(BarChartTest, BarsStandAsHighAsTheirValuesInTheirLabelsPlaces) {
    const ReportChartData data{QStringLiteral("Rates"),
                               QStringLiteral("Error rate (%)"),
                               {"01", "02", "03", "04", "05"},
                               {1, 4, 0, 2.5, 0.5}};
    const QImage image = drawBarChart(data, QSizeF(500, 260), 2);
    ASSERT_EQ(image.size(), QSize(1000, 520));
    const std::vector<Bar> bars = barsOf(image);
    ASSERT_EQ(bars.size(), 4u);
    // Against the highest bar, where a pixel cut at an edge weighs least.
    const double unit = (bars[1].bottom - bars[1].top + 1) / 4.0;
    const double slot = bars[1].centre - bars[0].centre;
    const struct {
        double value;
        int place;
    } expected[] = {{1, 0}, {4, 1}, {2.5, 3}, {0.5, 4}};
    for (std::size_t i = 0; i < bars.size(); ++i) {
        EXPECT_NEAR(bars[i].bottom, bars[0].bottom, 1) << i;
        EXPECT_NEAR((bars[i].bottom - bars[i].top + 1) / unit, expected[i].value, 0.02) << i;
        EXPECT_NEAR(bars[i].centre - bars[0].centre, expected[i].place * slot, 1.5) << i;
    }
    // Room is left above the highest bar for its value.
    EXPECT_GT(bars[1].top, image.height() / 10);
}
