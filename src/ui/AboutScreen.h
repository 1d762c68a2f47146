#pragma once

#include <QWidget>

namespace orv::ui {

class MainWindow;

// U009, the about box.
class AboutScreen : public QWidget {
    Q_OBJECT
public:
    explicit AboutScreen(MainWindow& window);

private:
    MainWindow& mWindow;
};

} // namespace orv::ui
