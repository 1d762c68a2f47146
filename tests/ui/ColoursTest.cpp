#include "Colours.h"
#include "SampleListModel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>

using namespace orv;

namespace {

// A dark desktop as the common dark themes paint it.
QPalette darkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(53, 53, 53));
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Base, QColor(42, 42, 42));
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::Link, QColor(42, 130, 218));
    return p;
}

// Every colour the program fixes, or takes from the palette, for text, against what it is read
// on, in the desktop's own palette and in a dark one.
TEST(Colours, EveryFixedColourReadsWellOnBothPalettes) {
    ui::SampleListModel model;
    SampleListRow done;
    done.completed = true;
    model.setRows({done});
    const QModelIndex cell = model.index(0, 0);
    const QColor rowBackground = cell.data(Qt::BackgroundRole).value<QColor>();
    ASSERT_EQ(rowBackground, QColor(192, 189, 239)) << "users know completed rows by it";

    const std::pair<const char*, QPalette> palettes[] = {{"the desktop's", QApplication::palette()},
                                                         {"dark", darkPalette()}};
    for (const auto& [name, palette] : palettes) {
        SCOPED_TRACE(name);
        const QColor window = palette.color(QPalette::Window);
        struct Text {
            const char* what;
            QColor colour;
            QColor background;
        };
        const QColor rowText = cell.data(Qt::ForegroundRole).isValid()
                                   ? cell.data(Qt::ForegroundRole).value<QColor>()
                                   : palette.color(QPalette::Text);
        const Text texts[] = {
            {"the sorted list's blue title", ui::readableOn(QColor(0, 0, 255), window), window},
            {"a contact link", ui::readableOn(palette.color(QPalette::Link), window), window},
            {"a completed row", rowText, rowBackground},
            {"plain text", palette.color(QPalette::WindowText), window},
        };
        for (const Text& t : texts)
            EXPECT_GE(ui::contrastRatio(t.colour, t.background), ui::kReadableContrast) << t.what;
    }
    // A colour that reads well already stays as it is; black on white is the most there is.
    EXPECT_EQ(ui::readableOn(QColor(0, 0, 255), Qt::white), QColor(0, 0, 255));
    EXPECT_NEAR(ui::contrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
}

} // namespace
