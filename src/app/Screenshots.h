#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace orv::ui {
class MainWindow;
}

namespace orv::app {

// Drives the program through a new database and a sign-in, saving a picture of each screen
// into folder (for checking the layouts where nobody can look at a display). Ends the
// program; returns the number of pictures that could not be written. onScreen, when given, is
// called with each screen and its picture's name once it has settled, before it is pictured.
using ScreenHook = std::function<void(QWidget* screen, const QString& name)>;
int takeScreenshots(ui::MainWindow& window, const QString& folder, const ScreenHook& onScreen = {});

} // namespace orv::app
