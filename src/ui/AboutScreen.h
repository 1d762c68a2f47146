#pragma once

#include <QPointer>
#include <QWidget>

namespace orv::ui {

class Navigator;
class SystemInfoDialog;

// U009, the about box.
class AboutScreen : public QWidget {
    Q_OBJECT
public:
    explicit AboutScreen(Navigator& window);

    // SysInfo: the facts a support desk asks for, in a dialog of their own.
    SystemInfoDialog* showSystemInfo();

private:
    Navigator& mWindow;
    QPointer<SystemInfoDialog> mInfo;
};

} // namespace orv::ui
