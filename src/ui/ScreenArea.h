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

protected:
    // A screen's size and place are kept as it hides: closed, hidden or with the program's end.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showModal(QWidget* screen);
    // Places a screen: where it was last, else centred in the area (a modal one, which is no
    // sub-window, at its last size centred on the display).
    void centerForm(QWidget* screen);
    void keepPlace(QWidget* window);
    void tile(Qt::Orientation orientation);
    QMdiSubWindow* subWindowOf(const QWidget* screen) const;

    QWidget& mFrame;
    GuiFrontEnd& mUi;
    // The sub-windows disabled while another screen's command runs.
    QList<QPointer<QWidget>> mFrozen;
};

} // namespace orv::ui
