#pragma once

#include "worksheet/Worksheet.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QFrame;
class QLabel;
class QLayout;
class QLineEdit;
class QPlainTextEdit;
class QTabWidget;
class QTableWidget;

namespace orv::ui {

class Navigator;

// U015: the worksheet of one sampled record. Every click and key goes to the core worksheet,
// and the screen then shows what the worksheet holds; nothing is written before Save.
class WorksheetScreen : public QWidget {
    Q_OBJECT
public:
    // Opens the worksheet of a sample row, as a double-click on U010's list does; U010 loads
    // afresh and stays hidden while the worksheet is open. Null when the row is gone or no
    // longer holds the record the list showed (OBS and SSN).
    static WorksheetScreen* open(Navigator& window, const SampleListRow& row);

    const Worksheet& worksheet() const { return mWorksheet; }
    // The element line the keys work on (0 to 16).
    int currentLine() const { return mCurrent; }
    void setCurrentLine(int line);

public slots:
    void saveRecord();
    void exitWithoutSaving();
    void print();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WorksheetScreen(Navigator& window, Worksheet worksheet);
    void buildLayout();
    QLayout* buildHeader();
    void buildTabs();
    QWidget* buildLines();
    QWidget* buildHistory();
    // The record's history as stored, newest first.
    void refreshHistory();
    QLayout* buildSidePanel();
    QWidget* buildExceptions();
    void addShortcuts();
    void render();
    void escapePressed();
    bool discardConfirmed();
    // Writes the worksheet; false (after saying why) when the database refused it.
    bool store();
    bool lineKey(int key);
    void lineClicked(int line, Mark box);
    void flagClicked(ExceptionFlag flag);
    // Back to U010, refilled in its kept order.
    void leave();

    struct Line {
        QFrame* background = nullptr;
        QLabel* label = nullptr;
        QLineEdit* value = nullptr;
        QCheckBox* pass = nullptr;
        QCheckBox* fail = nullptr;
    };

    Navigator& mWindow;
    Worksheet mWorksheet;
    int mCurrent = 0;
    std::array<Line, kElementCount> mLines;
    std::array<QCheckBox*, 4> mFlags{};
    QWidget* mPage = nullptr;
    QTabWidget* mTabs = nullptr;
    QPlainTextEdit* mComments = nullptr;
    QTableWidget* mHistory = nullptr;
    QLabel* mStatus = nullptr;
    QLabel* mDone = nullptr;
};

} // namespace orv::ui
