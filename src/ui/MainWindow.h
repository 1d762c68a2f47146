#pragma once

#include "GuiFrontEnd.h"

#include "session/Session.h"
#include "session/SignIn.h"
#include "worksheet/SampleList.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;

namespace orv::ui {

class HelpWindow;

// U001, the frame of the program: the menu from which every action starts, the status bar,
// and the area in which the screens open.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(const QString& programDir, QWidget* parent = nullptr);
    ~MainWindow() override;

    Session& session() { return *mSession; }
    GuiFrontEnd& frontEnd() { return *mFrontEnd; }
    QMdiArea* mdiArea() const { return mMdi; }
    // What the sample list keeps while its screen is closed for the worksheet's visits.
    struct SampleListState {
        SampleOrder order;
        // A worksheet has been opened since the sample list was last closed.
        bool worksheetVisited = false;
    };
    SampleListState& sampleListState() { return mSampleList; }

    // A menu entry by its menu array and index, e.g. ("mnuFile", 6) for "E&xit"; index -1 for
    // the menus that are no arrays ("scrcust", "mnuHelp").
    QAction* menuAction(const QString& array, int index) const;
    QAction* action(MenuEntry entry) const;
    // Status bar panels 1 to 5.
    QLabel* statusPanel(int panel) const;

    // The mode of the next screen opened with showForm: empty, "1" (report options), "Modal".
    QString tag() const { return mTag; }

    // Opens a screen: modeless inside the frame, or modal for the mode "Modal". The frame takes
    // ownership; a screen closed by its user is deleted.
    void showForm(QWidget* screen, const QString& mode = QString());
    // Places a screen: centred in the frame (or on the display when it is not a child).
    void centerForm(QWidget* screen);
    // The open screen with this id (its objectName), or null.
    QWidget* loadedScreen(const QString& id) const;
    // Closes the screen with this id, if open; it is built afresh when next opened.
    void unloadScreen(const QString& id);
    // Hides a screen without closing it; showForm shows it again.
    void hideForm(QWidget* screen);
    // Closes the screens that show records (the sample's, the master's, the computed rows):
    // after a database is opened or an import has replaced the records, their rows are gone.
    void unloadRecordScreens();
    // Opens a report in the viewer (U005), for one record when an OBS is given; a report that
    // cannot be read or run is told as "Error in viewing report " and the reason.
    void printReport(const QString& id, const QString& obs = QString());

    // Asks before the program ends; on Yes clears the stored filters and releases the
    // database. Returns true when the user cancelled.
    bool confirmExit();
    // Ends the program without asking.
    void endProgram();
    bool hasEnded() const { return mEnded; }
    // True while an import runs: nothing may close the database under it.
    bool isImporting() const;

    // The start-up state before the window is first shown: the data menus and Utilities off.
    void prepareStartUp();

    void showSignIn(SignInMode mode, const QString& formMode = QString());
    void showTipOfTheDay();

    // Opens the help window (one for the whole program) at a page of the user's guide
    // ("worksheets.html#marks"; empty for its contents). Without the guide it says that help
    // is unavailable and returns false.
    bool showHelp(const QString& page = QString());
    HelpWindow* helpWindow() const;

signals:
    // The program is to end (Exit confirmed, or the sign-in's Exit).
    void programEnded();

public slots:
    // File
    void fileNew();
    void fileOpen();
    void fileSaveAs();
    void toggleShowTips();
    void fileExit();
    // Import Data
    void importFromExtract();
    void showImportErrorFile();
    void importReportedCounts();
    void viewDuplicates();
    void sourceTableLayout();
    void reportedCountsLayout();
    void viewSourceTable();
    // Change Reporting Options
    void changePopulation();
    void changeReportingOptions();
    // Report Validation
    void viewOutcomeGroups();
    void viewPerformanceReport();
    void exportOutcomeGroups();
    // Data Validation
    void editWorksheets();
    void printWorksheets();
    void printSummaryReport();
    void printSampledCounts();
    void summaryComments();
    void exportSummary();
    // Utilities
    void compactDatabase();
    void fixDatabase();
    void switchDatabase();
    // Window
    void cascade();
    void tileHorizontal();
    void tileVertical();
    // Help
    void helpContents();
    void contactUs();
    void about();

protected:
    void closeEvent(QCloseEvent* event) override;
    // F1 anywhere in the program opens the guide's page of the screen that has the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildStatusBar();
    void setDataMenus(bool enabled);
    void enableFileEntries();
    void tile(Qt::Orientation orientation);
    QMdiSubWindow* subWindowOf(const QWidget* screen) const;
    // The open screen with this id, or a new one: each screen exists once.
    template <typename Screen> Screen* screenOf(const QString& id);

    std::unique_ptr<GuiFrontEnd> mFrontEnd;
    std::unique_ptr<Session> mSession;
    SampleListState mSampleList;
    QMdiArea* mMdi = nullptr;
    QHash<QString, QAction*> mActions;
    QHash<int, QAction*> mEntries;
    QLabel* mPanels[5] = {};
    QString mTag;
    bool mEnded = false;
    QPointer<HelpWindow> mHelp;
};

} // namespace orv::ui
