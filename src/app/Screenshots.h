#pragma once

#include <QString>

namespace orv::ui {
class MainWindow;
}

namespace orv::app {

// Drives the program through a new database and a sign-in, saving a picture of each screen
// into folder (for checking the layouts where nobody can look at a display). Ends the
// program; returns the number of pictures that could not be written.
int takeScreenshots(ui::MainWindow& window, const QString& folder);

} // namespace orv::app
