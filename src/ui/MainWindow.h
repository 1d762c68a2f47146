#pragma once

#include "GuiFrontEnd.h"
#include "Navigator.h"
#include "ScreenArea.h"

#include "session/Session.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QLabel;
class QMdiArea;

namespace orv::ui {

class HelpWindow;

// U001, the frame of the program: the menu from which every action starts, the status bar,
// and the area in which the screens open.
class MainWindow : public QMainWindow, public Navigator {
    Q_OBJECT
public:
    explicit MainWindow(const QString& programDir, QWidget* parent = nullptr);
    ~MainWindow() override;

    Session& session() override { return *mSession; }
    GuiFrontEnd& frontEnd() override { return *mFrontEnd; }
    QMdiArea* mdiArea() const { return mArea; }
    SampleListState& sampleListState() override { return mSampleList; }

    // A menu entry by its menu array and index, e.g. ("mnuFile", 6) for "E&xit"; index -1 for
    // the menus that are no arrays ("scrcust", "mnuHelp").
    QAction* menuAction(const QString& array, int index) const override;
    QAction* action(MenuEntry entry) const override;
    // Status bar panels 1 to 5.
    QLabel* statusPanel(int panel) const;

    void showForm(QWidget* screen, ScreenMode mode = ScreenMode::Normal) override {
        mArea->showForm(screen, mode);
    }
    void hideForm(QWidget* screen) override { mArea->hideForm(screen); }
    void closeForm(QWidget* screen) override { mArea->closeForm(screen); }
    QList<QWidget*> openScreens() const override {
        return mArea ? mArea->openScreens() : QList<QWidget*>();
    }
    // The open screen with this id (its objectName), or null: for scripts and tests.
    QWidget* loadedScreen(const QString& id) const;
    void unloadRecordScreens() override;
    void printReport(const QString& id, const QString& obs = QString()) override;

    bool confirmExit() override;
    void endProgram() override;
    bool hasEnded() const override { return mEnded; }
    bool isImporting() const override;

    // Size, place and maximised state as the window had them when it last closed.
    void restorePlace();

    // The start-up state before the window is first shown: the data menus and Utilities off.
    void prepareStartUp();

    void showSignIn(SignInMode mode) override;
    void showTipOfTheDay() override;
    QWidget* dialogParent() override { return this; }
    // With a field pack open the caption says so, and what the pack holds.
    void restoreCaption() override;
    void setMenuBarEnabled(bool enabled) override;
    void setOtherScreensEnabled(const QWidget* keep, bool enabled) override {
        mArea->setOtherScreensEnabled(keep, enabled);
    }
    void arrangeScreens(Arrangement how) override { mArea->arrange(how); }

    bool showHelp(const QString& page = QString()) override;
    HelpWindow* helpWindow() const;

signals:
    // The program is to end (Exit confirmed, or the sign-in's Exit).
    void programEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    // F1 anywhere in the program opens the guide's page of the screen that has the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void addRecentMenu();
    void buildStatusBar();
    void setDataMenus(bool enabled);

    std::unique_ptr<GuiFrontEnd> mFrontEnd;
    std::unique_ptr<Session> mSession;
    SampleListState mSampleList;
    ScreenArea* mArea = nullptr;
    QHash<QString, QAction*> mActions;
    QHash<int, QAction*> mEntries;
    QLabel* mPanels[5] = {};
    bool mEnded = false;
    QPointer<HelpWindow> mHelp;
};

} // namespace orv::ui
