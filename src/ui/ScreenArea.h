#pragma once

#include "Navigator.h"

#include <QList>
#include <QMdiArea>
#include <QPointer>

class QMdiSubWindow;

namespace orv::ui {

class GuiFrontEnd;

// The frame's area in which the screens open: a modeless screen as a sub-window of it, a
// modal one as a window over the frame.
class ScreenArea : public QMdiArea {
    Q_OBJECT
public:
    ScreenArea(QWidget& frame, GuiFrontEnd& ui);

    void showForm(QWidget* screen, ScreenMode mode);
    void hideForm(QWidget* screen);
    void closeForm(QWidget* screen);
    QList<QWidget*> openScreens() const;
    void setOtherScreensEnabled(const QWidget* keep, bool enabled);
    void arrange(Arrangement how);

private:
    void showModal(QWidget* screen);
    // Places a screen: centred in the area (or on the display when it is not a sub-window).
    void centerForm(QWidget* screen);
    void tile(Qt::Orientation orientation);
    QMdiSubWindow* subWindowOf(const QWidget* screen) const;

    QWidget& mFrame;
    GuiFrontEnd& mUi;
    // The sub-windows disabled while another screen's command runs.
    QList<QPointer<QWidget>> mFrozen;
};

} // namespace orv::ui
