#include "ScreenArea.h"

#include "GuiFrontEnd.h"
#include "ScreenGeometry.h"

#include <QDialog>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMdiSubWindow>
#include <QScreen>

namespace orv::ui {

namespace {

// The size a screen's window opened at, before any kept size was given to it.
constexpr const char* kOpenedSize = "orvOpenedSize";

QString placeKey(const QWidget* screen) {
    return screen && !screen->objectName().isEmpty()
               ? QStringLiteral("screens/") + screen->objectName()
               : QString();
}

void noteOpenedSize(QWidget* window) {
    if (!window->property(kOpenedSize).isValid())
        window->setProperty(kOpenedSize, window->size());
}

} // namespace

ScreenArea::ScreenArea(QWidget& frame, GuiFrontEnd& ui) : QMdiArea(&frame), mFrame(frame), mUi(ui) {
    setObjectName(QStringLiteral("MDIClient"));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void ScreenArea::showForm(QWidget* screen, ScreenMode mode) {
    mUi.setBusy(true);
    if (mode == ScreenMode::Modal) {
        mUi.setBusy(false);
        showModal(screen);
    } else {
        QMdiSubWindow* sub = subWindowOf(screen);
        if (!sub) {
            const QSize size = screen->size();
            sub = addSubWindow(screen);
            sub->setAttribute(Qt::WA_DeleteOnClose);
            sub->setWindowIcon(mFrame.windowIcon());
            sub->ensurePolished();
            const QMargins frame = sub->contentsMargins();
            sub->resize(size.grownBy(frame));
            noteOpenedSize(sub);
            centerForm(screen);
        }
        sub->show();
        screen->show();
        setActiveSubWindow(sub);
    }
    mUi.setBusy(false);
}

// Returns when the screen has closed.
void ScreenArea::showModal(QWidget* screen) {
    if (auto* dialog = qobject_cast<QDialog*>(screen)) {
        if (!dialog->parentWidget())
            dialog->setParent(&mFrame, dialog->windowFlags() | Qt::Dialog);
        noteOpenedSize(dialog);
        dialog->installEventFilter(this);
        centerForm(dialog);
        dialog->exec();
        return;
    }
    screen->setParent(&mFrame, Qt::Dialog);
    screen->setAttribute(Qt::WA_DeleteOnClose);
    screen->setWindowModality(Qt::ApplicationModal);
    noteOpenedSize(screen);
    screen->installEventFilter(this);
    centerForm(screen);
    QEventLoop loop;
    connect(screen, &QObject::destroyed, &loop, &QEventLoop::quit);
    screen->show();
    loop.exec();
}

void ScreenArea::centerForm(QWidget* screen) {
    if (mFrame.isMinimized())
        return;
    if (QMdiSubWindow* sub = subWindowOf(screen)) {
        if (!sub->isMaximized()) {
            const QRect kept =
                restoredPlace(viewport()->size(), sub->property(kOpenedSize).toSize(),
                              mUi.storedGeometry(placeKey(screen)));
            if (kept.isNull())
                sub->move(centeredIn(viewport()->size(), sub->size()));
            else
                sub->setGeometry(kept);
        }
    } else {
        if (const auto size = storedSize(screen->property(kOpenedSize).toSize(),
                                         mUi.storedGeometry(placeKey(screen))))
            screen->resize(*size);
        const QScreen* display =
            mFrame.screen() ? mFrame.screen() : QGuiApplication::primaryScreen();
        if (display) {
            const QRect area = display->availableGeometry();
            screen->move(area.topLeft() + QPoint((area.width() - screen->width()) / 2,
                                                 (area.height() - screen->height()) / 2));
        }
    }
    mUi.setStatus(1, QString());
    mUi.setBusy(false);
}

bool ScreenArea::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Hide && watched->isWidgetType())
        keepPlace(static_cast<QWidget*>(watched));
    return QMdiArea::eventFilter(watched, event);
}

void ScreenArea::keepPlace(QWidget* window) {
    const QSize opened = window->property(kOpenedSize).toSize();
    if (!opened.isValid() || window->isMaximized() || window->isMinimized())
        return;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(window)) {
        if (sub->mdiArea() == this && !placeKey(sub->widget()).isEmpty())
            mUi.storeGeometry(placeKey(sub->widget()), packPlace(opened, sub->geometry()));
    } else if (window->isWindow() && !placeKey(window).isEmpty()) {
        // A modal screen keeps its size only: it opens centred.
        mUi.storeGeometry(placeKey(window), packPlace(opened, QRect(QPoint(), window->size())));
    }
}

QList<QWidget*> ScreenArea::openScreens() const {
    QList<QWidget*> open;
    for (QMdiSubWindow* sub : subWindowList()) {
        if (sub->widget())
            open << sub->widget();
    }
    // A modal screen is a window of its own over the frame.
    for (QWidget* child : mFrame.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child->isWindow())
            open << child;
    }
    return open;
}

void ScreenArea::closeForm(QWidget* screen) {
    if (!screen || !openScreens().contains(screen))
        return;
    QMdiSubWindow* sub = subWindowOf(screen);
    if (!sub) {
        screen->hide();
        screen->deleteLater();
        return;
    }
    // Out of the area at once, so that a new screen of the kind can open in its place.
    sub->hide();
    removeSubWindow(sub);
    sub->deleteLater();
}

void ScreenArea::hideForm(QWidget* screen) {
    if (QMdiSubWindow* sub = subWindowOf(screen))
        sub->hide();
    else if (screen)
        screen->hide();
}

void ScreenArea::setOtherScreensEnabled(const QWidget* keep, bool enabled) {
    if (enabled) {
        for (const QPointer<QWidget>& frozen : std::as_const(mFrozen)) {
            if (frozen)
                frozen->setEnabled(true);
        }
        mFrozen.clear();
        return;
    }
    // The whole sub-window, so that its close box cannot act either.
    for (QMdiSubWindow* sub : subWindowList()) {
        if (sub->widget() != keep && sub->isEnabled()) {
            sub->setEnabled(false);
            mFrozen << sub;
        }
    }
}

void ScreenArea::arrange(Arrangement how) {
    switch (how) {
    case Arrangement::Cascade:
        cascadeSubWindows();
        break;
    case Arrangement::TileHorizontal:
        tile(Qt::Horizontal);
        break;
    case Arrangement::TileVertical:
        tile(Qt::Vertical);
        break;
    }
}

QMdiSubWindow* ScreenArea::subWindowOf(const QWidget* screen) const {
    return screen ? qobject_cast<QMdiSubWindow*>(screen->parentWidget()) : nullptr;
}

// Horizontal tiles lie one above the other across the whole width; vertical ones side by side.
void ScreenArea::tile(Qt::Orientation orientation) {
    QList<QMdiSubWindow*> open;
    for (QMdiSubWindow* sub : subWindowList()) {
        if (sub->isVisible() && !sub->isMinimized())
            open << sub;
    }
    const QRect area = viewport()->rect();
    const int n = static_cast<int>(open.size());
    for (int i = 0; i < n; ++i) {
        open[i]->showNormal();
        if (orientation == Qt::Horizontal) {
            const int top = area.height() * i / n;
            open[i]->setGeometry(0, top, area.width(), area.height() * (i + 1) / n - top);
        } else {
            const int left = area.width() * i / n;
            open[i]->setGeometry(left, 0, area.width() * (i + 1) / n - left, area.height());
        }
    }
}

} // namespace orv::ui
