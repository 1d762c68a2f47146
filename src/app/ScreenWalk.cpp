#include "ScreenWalk.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

namespace orv::app {

namespace {

// Tab turns within a screen's sub-window, or within its window when it has none.
QWidget* tabScope(QWidget* screen) {
    QWidget* w = screen;
    while (!w->isWindow() && w->windowType() != Qt::SubWindow && w->parentWidget())
        w = w->parentWidget();
    return w;
}

// The frame's own controls: the screens' sub-windows keep Tab to themselves.
bool inSubWindowBelow(const QWidget* w, const QWidget* scope) {
    for (const QWidget* p = w->parentWidget(); p && p != scope; p = p->parentWidget())
        if (p->windowType() == Qt::SubWindow)
            return true;
    return false;
}

bool tabStop(const QWidget* w, const QWidget* scope) {
    return (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && !w->focusProxy() &&
           w->isEnabled() && scope->isAncestorOf(w) && w->isVisibleTo(scope) &&
           !inSubWindowBelow(w, scope);
}

// A control that takes Tab for itself once it has the focus, so that Tab goes no further.
bool keepsTab(const QWidget* w) {
    if (const auto* view = qobject_cast<const QAbstractItemView*>(w))
        return view->tabKeyNavigation() && view->model() &&
               view->model()->rowCount(view->rootIndex()) > 0;
    if (const auto* edit = qobject_cast<const QPlainTextEdit*>(w))
        return !edit->isReadOnly() && !edit->tabChangesFocus();
    if (const auto* edit = qobject_cast<const QTextEdit*>(w))
        return !edit->isReadOnly() && !edit->tabChangesFocus();
    return false;
}

QString pathOf(const QWidget* w, const QWidget* scope) {
    QStringList parts;
    for (; w && w != scope; w = w->parentWidget())
        parts.prepend(QStringLiteral("%1:%2").arg(QString::fromLatin1(w->metaObject()->className()),
                                                  w->objectName()));
    return parts.join(QLatin1Char('/'));
}

} // namespace

QStringList unreachedByTab(QWidget* screen) {
    QStringList unreached;
    if (!screen)
        return unreached;
    QWidget* scope = tabScope(screen);
    QList<const QWidget*> stops;
    for (const QWidget* w : scope->findChildren<QWidget*>())
        if (tabStop(w, scope))
            stops << w;
    // Follows the chain Tab follows, from the first stop until one keeps Tab.
    QSet<const QWidget*> reached;
    const QWidget* w = scope->nextInFocusChain();
    for (int guard = 0; w != scope && guard < 100000; w = w->nextInFocusChain(), ++guard) {
        if (!tabStop(w, scope))
            continue;
        reached.insert(w);
        if (keepsTab(w))
            break;
    }
    for (const QWidget* stop : stops)
        if (!reached.contains(stop))
            unreached << pathOf(stop, scope);
    return unreached;
}

namespace {

// Each accessible object's place in the tree (child numbers from the application) with the
// class and name of what stands behind it, as the checker finds no object names on the bus.
void printObjects(QAccessibleInterface* node, const QString& place, int depth) {
    if (!node || depth > 40)
        return;
    if (QObject* o = node->object())
        std::printf("object %s %s:%s\n", qPrintable(place), o->metaObject()->className(),
                    qPrintable(o->objectName()));
    // The cells of grids and lists are not gone into; the checker does not either.
    const QAccessible::Role role = node->role();
    if (role == QAccessible::Table || role == QAccessible::List || role == QAccessible::Tree)
        return;
    for (int i = 0, n = node->childCount(); i < n; ++i)
        printObjects(node->child(i), place + QLatin1Char('/') + QString::number(i), depth + 1);
}

} // namespace

void holdScreen(QWidget* screen, const QString& name, int timeoutMs) {
    printObjects(QAccessible::queryAccessibleInterface(qApp), QStringLiteral("0"), 0);
    for (const QString& path : unreachedByTab(screen))
        std::printf("tab-unreached %s %s\n", qPrintable(name), qPrintable(path));
    std::printf("screen %s\n", qPrintable(name));
    std::fflush(stdout);
    QEventLoop loop;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    // Any line, or the end of the input, lets the program go on.
    QObject::connect(&input, &QSocketNotifier::activated, &loop, [&] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            input.setEnabled(false);
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace orv::app
