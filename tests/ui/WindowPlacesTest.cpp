#include "WorksheetFixture.h"

#include "ScreenGeometry.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>

namespace orv::test {
namespace {

struct PlaceCase {
    const char* what;
    QRect kept;
    QSize opened; // the size the screen opens at now
    QRect placed; // null: opens as the first time
};

void PrintTo(const PlaceCase& c, std::ostream* os) {
    *os << c.what;
}

class RestoredPlaceTest : public ::testing::TestWithParam<PlaceCase> {};

// The area is 800 by 600; the screen opened at 300 by 200 when its place was kept.
TEST_P(RestoredPlaceTest, KeptPlaceLiesInsideTheArea) {
    const PlaceCase& c = GetParam();
    const QByteArray kept = ui::packPlace({300, 200}, c.kept);
    EXPECT_EQ(ui::restoredPlace({800, 600}, c.opened, kept), c.placed);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RestoredPlaceTest,
    ::testing::Values(
        PlaceCase{"inside", {40, 30, 350, 250}, {300, 200}, {40, 30, 350, 250}},
        PlaceCase{
            "past the right and bottom", {700, 580, 350, 250}, {300, 200}, {450, 350, 350, 250}},
        PlaceCase{"above and left", {-90, -5, 350, 250}, {300, 200}, {0, 0, 350, 250}},
        PlaceCase{"too large: centred", {10, 10, 900, 250}, {300, 200}, {7, 175, 900, 250}},
        PlaceCase{"opens at another size now", {40, 30, 350, 250}, {320, 200}, {}}));

TEST(RestoredPlace, NothingUsableKept) {
    EXPECT_TRUE(ui::restoredPlace({800, 600}, {300, 200}, {}).isNull());
    EXPECT_TRUE(ui::restoredPlace({800, 600}, {300, 200}, "garbage").isNull());
    EXPECT_FALSE(ui::storedSize({300, 200}, {}).has_value());
    EXPECT_EQ(ui::storedSize({300, 200}, ui::packPlace({300, 200}, {9, 9, 310, 220})),
              QSize(310, 220));
}

// A screen opens where it was when it last closed, inside the area; the store is the front
// end's, in memory while scripted.
TEST_F(ShellTest, AScreenReopensWhereItClosed) {
    auto about = [&] {
        menu("mnuHelpHelp", 7)->trigger();
        QApplication::processEvents();
        return qobject_cast<QMdiSubWindow*>(screen("U009")->parentWidget());
    };
    QMdiSubWindow* sub = about();
    ASSERT_TRUE(sub);
    const QRect moved(sub->pos() + QPoint(-20, 15), sub->size() + QSize(40, 30));
    sub->setGeometry(moved);
    sub->close(); // the close box
    QApplication::processEvents();
    ASSERT_EQ(screen("U009"), nullptr);
    EXPECT_FALSE(fe().storedGeometry("screens/U009").isEmpty());
    sub = about();
    EXPECT_EQ(sub->geometry(), moved);

    // Dragged mostly out of the area: back inside it, at the same size.
    const QSize area = window->mdiArea()->viewport()->size();
    sub->move(area.width() - 30, area.height() - 20);
    window->closeForm(screen("U009"));
    sub = about();
    EXPECT_EQ(sub->size(), moved.size());
    EXPECT_TRUE(QRect(QPoint(), area).contains(sub->geometry())) << sub->x() << "," << sub->y();
    EXPECT_GT(sub->geometry().right(), area.width() - 40);
}

// The frame's size, place and maximised state go to the store as it closes and come back
// from it; a place off every display comes back onto one.
TEST_F(ShellTest, TheMainWindowsPlaceRoundTrips) {
    const QRect display = QGuiApplication::primaryScreen()->availableGeometry();
    struct Case {
        QRect geometry;
        bool maximised;
    };
    const Case cases[] = {{{display.topLeft() + QPoint(30, 40), QSize(500, 400)}, false},
                          {{display.topLeft() + QPoint(10, 10), QSize(450, 350)}, true},
                          {{display.bottomRight() + QPoint(3000, 3000), QSize(400, 300)}, false}};
    menu("mnuHelpHelp", 7)->trigger(); // a screen open as the program ends keeps its place too
    fe().setNextAnswer(true);          // Exit? Yes
    for (const Case& c : cases) {
        window->setWindowState(Qt::WindowNoState);
        window->setGeometry(c.geometry);
        if (c.maximised)
            window->setWindowState(Qt::WindowMaximized);
        window->close();
        window->setWindowState(Qt::WindowNoState);
        window->setGeometry(display.left() + 1, display.top() + 1, 200, 150);
        window->restorePlace();
        EXPECT_EQ(window->isMaximized(), c.maximised) << c.geometry.x();
        if (display.contains(c.geometry.topLeft()))
            EXPECT_EQ(window->normalGeometry().size(), c.geometry.size()) << c.geometry.x();
        else
            EXPECT_TRUE(display.intersects(window->geometry())) << window->geometry().x();
    }
    EXPECT_FALSE(fe().storedGeometry("screens/U009").isEmpty());
}

// A modal screen keeps its size only: it opens centred again.
TEST_F(WorksheetTest, TheFindScreenKeepsItsSizeOnly) {
    openList();
    QSize resized;
    withFindScreen(0, [&](QWidget* find) {
        resized = find->size() + QSize(40, 30);
        find->move(find->pos() + QPoint(25, 25));
        find->resize(resized);
    });
    withFindScreen(0, [&](QWidget* find) {
        EXPECT_EQ(find->size(), resized);
        const QRect display = find->screen()->availableGeometry();
        EXPECT_EQ(find->pos(),
                  display.topLeft() + QPoint((display.width() - resized.width()) / 2,
                                             (display.height() - resized.height()) / 2));
    });
}

} // namespace
} // namespace orv::test
