#include "WorksheetFixture.h"

#include "SystemInfoDialog.h"

#include <QAccessible>

namespace orv::test {
namespace {

// The controls of a screen that the keyboard reaches but a screen reader could not name: neither
// a name of their own nor a label's.
QStringList unnamedControls(QWidget* screen) {
    QStringList unnamed;
    if (!screen)
        return unnamed;
    for (QWidget* w : screen->findChildren<QWidget*>()) {
        // A part that hands its focus on is read as the control it hands it to.
        if (w->focusPolicy() == Qt::NoFocus || w->focusProxy() || !w->isVisibleTo(screen))
            continue;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        if (!a || (a->text(QAccessible::Name).trimmed().isEmpty() &&
                   a->relations(QAccessible::Label).isEmpty()))
            unnamed << QStringLiteral("%1: %2 (%3)")
                           .arg(screen->objectName(), w->objectName(),
                                QString::fromLatin1(w->metaObject()->className()));
    }
    return unnamed;
}

TEST_F(WorksheetTest, EveryControlHasAName) {
    QStringList unnamed;
    auto walk = [&](const char* id) {
        QWidget* s = screen(id);
        EXPECT_TRUE(s) << id;
        unnamed += unnamedControls(s);
    };
    struct Entry {
        const char* array;
        int index;
        const char* screen;
    };
    const Entry entries[] = {{"mnuCPop", 1, "U003"},     {"mnuwks1", 5, "U018"},
                             {"mnuRptVal", 0, "U006"},   {"mnuImpDat", 8, "U002"},
                             {"mnuRptVal", 1, "U005"},   {"mnuHelpHelp", 5, "U008"},
                             {"mnuHelpHelp", 7, "U009"}, {"mnuMakePack", -1, "frmMakePack"}};
    for (const Entry& e : entries) {
        menu(e.array, e.index)->trigger();
        walk(e.screen);
        window->closeForm(screen(e.screen));
        // A closed screen is deleted later, and must be while its window lives.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    openList();
    walk("U010");
    withFindScreen(0, [&](QWidget* find) { unnamed += unnamedControls(find); });
    doubleClickRow(0);
    walk("U015");

    ui::SystemInfoDialog info(session(), window.get());
    unnamed += unnamedControls(&info);
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join('\n').toStdString();
}

} // namespace
} // namespace orv::test
