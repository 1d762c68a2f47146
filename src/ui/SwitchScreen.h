#pragma once

#include <QWidget>

class QComboBox;

namespace orv::ui {

class Navigator;

// U012: switches to the database behind another ORV data source.
class SwitchScreen : public QWidget {
    Q_OBJECT
public:
    explicit SwitchScreen(Navigator& window);

public slots:
    void switchDatabase();

private:
    void fillDataSources();

    Navigator& mWindow;
    QComboBox* mDataSources = nullptr;
};

} // namespace orv::ui
