#include "WorksheetFixture.h"

#include "SystemInfoDialog.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTabWidget>

#include <map>

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

// The keys Alt opens a screen's controls with: each button and tab has one, and no two share
// one with each other or with a labelled field. A screen inside the main window shares its keys
// with the menu bar's titles: Alt+I there would be two things, and neither would happen.
QStringList mnemonicProblems(QWidget* screen, QMenuBar* menuBar = nullptr) {
    QStringList problems;
    if (!screen)
        return problems;
    std::map<QChar, QString> taken;
    if (menuBar && screen->window() == menuBar->window())
        for (QAction* a : menuBar->actions()) {
            const int at = a->text().indexOf(QRegularExpression(QStringLiteral("&[^&]")));
            if (a->isVisible() && at >= 0)
                taken[a->text().at(at + 1).toLower()] = QStringLiteral("menu ") + a->text();
        }
    auto take = [&](const QString& text, const QString& what, bool required = true) {
        const int at = text.indexOf(QRegularExpression(QStringLiteral("&[^&]")));
        if (at < 0) {
            if (required)
                problems << QStringLiteral("%1: %2 has no key").arg(screen->objectName(), what);
            return;
        }
        const QChar key = text.at(at + 1).toLower();
        if (auto it = taken.find(key); it != taken.end())
            problems << QStringLiteral("%1: %2 and %3 share Alt+%4")
                            .arg(screen->objectName(), it->second, what, key);
        else
            taken[key] = what;
    };
    // A button shown as a sign (the viewer's page buttons) has its key in its tip.
    for (QAbstractButton* b : screen->findChildren<QAbstractButton*>())
        if (b->isVisibleTo(screen) && !b->text().isEmpty() && b->text().front().isLetter() &&
            b->focusPolicy() != Qt::NoFocus)
            take(b->text(), b->objectName());
    for (QTabWidget* tabs : screen->findChildren<QTabWidget*>())
        if (tabs->isVisibleTo(screen))
            for (int i = 0; i < tabs->count(); ++i)
                take(tabs->tabText(i), tabs->objectName() + QStringLiteral(" tab %1").arg(i));
    for (QLabel* l : screen->findChildren<QLabel*>())
        if (l->buddy() && l->isVisibleTo(screen))
            take(l->text(), l->objectName(), false);
    return problems;
}

// Tab follows what the eye reads: from each control to the next, down the screen or across to
// the right, never back up and to the left.
QStringList tabOrderProblems(QWidget* screen) {
    QStringList problems;
    if (!screen)
        return problems;
    QList<QWidget*> chain;
    for (QWidget* w = screen->nextInFocusChain(); w && w != screen; w = w->nextInFocusChain()) {
        if (!screen->isAncestorOf(w) || chain.contains(w))
            break;
        if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(screen) &&
            !w->focusProxy())
            chain << w;
    }
    constexpr int kSlack = 4;
    for (qsizetype i = 1; i < chain.size(); ++i) {
        const QPoint a = chain[i - 1]->mapTo(screen, QPoint(0, 0));
        const QPoint b = chain[i]->mapTo(screen, QPoint(0, 0));
        if (b.y() < a.y() - kSlack && b.x() < a.x() - kSlack)
            problems << QStringLiteral("%1: Tab goes back from %2 to %3")
                            .arg(screen->objectName(), chain[i - 1]->objectName(),
                                 chain[i]->objectName());
    }
    return problems;
}

// The same of a menu and its submenus, the menu bar's titles first: every entry shown that can
// be chosen has a key of its own within its menu.
QStringList menuKeyProblems(const QString& where, const QList<QAction*>& entries) {
    QStringList problems;
    std::map<QChar, QString> taken;
    for (QAction* a : entries) {
        if (a->isSeparator() || !a->isVisible())
            continue;
        const QString text = a->text();
        const int at = text.indexOf(QRegularExpression(QStringLiteral("&[^&]")));
        if (at < 0) {
            // "(none)" of an empty recent list can be no command.
            if (a->isEnabled())
                problems << QStringLiteral("%1: \"%2\" has no key").arg(where, text);
        } else {
            const QChar key = text.at(at + 1).toLower();
            if (taken.count(key))
                problems << QStringLiteral("%1: \"%2\" and \"%3\" share Alt+%4")
                                .arg(where, taken[key], text, key);
            taken[key] = text;
        }
        if (a->menu())
            problems += menuKeyProblems(text, a->menu()->actions());
    }
    return problems;
}

TEST_F(WorksheetTest, EveryMenuEntryHasItsOwnKey) {
    const QStringList problems =
        menuKeyProblems(QStringLiteral("menu bar"), window->menuBar()->actions());
    EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
}

TEST_F(WorksheetTest, EveryControlHasAName) {
    QStringList unnamed, keys, order;
    auto walk = [&](const char* id) {
        QWidget* s = screen(id);
        EXPECT_TRUE(s) << id;
        unnamed += unnamedControls(s);
        keys += mnemonicProblems(s, window->menuBar());
        order += tabOrderProblems(s);
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
    withFindScreen(0, [&](QWidget* find) {
        unnamed += unnamedControls(find);
        keys += mnemonicProblems(find);
    });
    doubleClickRow(0);
    walk("U015");

    ui::SystemInfoDialog info(session(), window.get());
    unnamed += unnamedControls(&info);
    keys += mnemonicProblems(&info);
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join('\n').toStdString();
    EXPECT_TRUE(keys.isEmpty()) << keys.join('\n').toStdString();
    EXPECT_TRUE(order.isEmpty()) << order.join('\n').toStdString();
}

} // namespace
} // namespace orv::test
