#pragma once

#include <QWidget>

namespace orv::ui {

class MainWindow;

// U000: shown while the program starts; a second later it registers the data source, opens
// the main window with its data menus off and closes itself.
class SplashScreen : public QWidget {
    Q_OBJECT
public:
    explicit SplashScreen(const QString& programDir);

    // Shows the splash; the rest of the start-up follows after delayMs, the window painting
    // meanwhile.
    void start(int delayMs = 1000);
    // The rest of the start-up. The caller owns the main window.
    MainWindow* finish();

signals:
    void started(orv::ui::MainWindow* window);

private:
    QString mProgramDir;
    bool mFinished = false;
};

} // namespace orv::ui
