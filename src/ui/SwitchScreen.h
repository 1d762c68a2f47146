#pragma once

#include <QWidget>

class QComboBox;

namespace orv::ui {

class MainWindow;

// U012: switches to the database behind another ORV data source.
class SwitchScreen : public QWidget {
    Q_OBJECT
public:
    explicit SwitchScreen(MainWindow& window);

public slots:
    void switchDatabase();

private:
    void fillDataSources();

    MainWindow& mWindow;
    QComboBox* mDataSources = nullptr;
};

} // namespace orv::ui
