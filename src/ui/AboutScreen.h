#pragma once

#include <QPointer>
#include <QWidget>

namespace orv::ui {

class MainWindow;
class SystemInfoDialog;

// U009, the about box.
class AboutScreen : public QWidget {
    Q_OBJECT
public:
    explicit AboutScreen(MainWindow& window);

    // SysInfo: the facts a support desk asks for, in a dialog of their own.
    SystemInfoDialog* showSystemInfo();

private:
    MainWindow& mWindow;
    QPointer<SystemInfoDialog> mInfo;
};

} // namespace orv::ui
