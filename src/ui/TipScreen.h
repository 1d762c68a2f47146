#pragma once

#include <QStringList>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace orv::ui {

class Navigator;

// U014, the tip of the day: the tips of the file "ORVDV.DLL" in the program's folder, one a
// line, shown in file order; an "&" in a tip starts a new line.
class TipScreen : public QWidget {
    Q_OBJECT
public:
    explicit TipScreen(Navigator& window);

    // Reads the tips and shows the first. False for an empty path or a missing file.
    bool loadTips(const QString& path);
    QString tipText() const;
    int tipCount() const { return static_cast<int>(mTips.size()); }

public slots:
    void nextTip();

private:
    void displayCurrentTip();
    void showTipsToggled(bool checked);

    Navigator& mWindow;
    QStringList mTips;
    int mCurrent = 0;
    int mNext = 1;
    QLabel* mTip = nullptr;
    QCheckBox* mShowTips = nullptr;
};

} // namespace orv::ui
