#pragma once

#include "program/FrontEnd.h"
#include "session/DatabaseFiles.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QQueue>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <optional>
#include <utility>

class QProgressDialog;

namespace orv::ui {

class MainWindow;

// Menu entries whose state follows what happens: a database opened, a sign-in.
enum class MenuEntry {
    FileNew,
    FileOpen,
    FileSaveAs,
    ShowTipsAtStartup,
    ImportData,
    ChangeReportingOptions,
    ReportValidation,
    DataValidation,
    Utilities,
    CompactDatabase,
    FixDatabase,
    ViewOutcomeGroups,
    ViewPerformanceReport,
};

// Shows core's questions and messages as message boxes over the main window, and what core
// tells of its work on the window: status panels, the pointer and menu states.
class GuiFrontEnd : public FrontEnd {
public:
    explicit GuiFrontEnd(MainWindow& window);
    ~GuiFrontEnd() override;

    [[nodiscard]] bool askYesNo(const QString& text, Icon icon = Icon::Question) override;
    [[nodiscard]] bool askOkCancel(const QString& text, Icon icon = Icon::Exclamation) override;
    void message(const QString& text, Icon icon = Icon::None) override;
    void workStatus(const QString& text) override;
    void setBusy(bool busy) override;
    void processEvents() override;
    void databaseOpened(const QString& name) override;
    void databaseClosed() override;
    void signedIn() override;
    void periodChanged(const QString& text) override;
    void recordFilterChanged(const QString& stateText) override;
    void showTipsChanged(bool show) override;
    void endProgram() override;
    // Runs one of core's database file commands and shows its failure as a message box with
    // the icon it calls for; a failure leaves no result.
    [[nodiscard]] std::optional<FileResult>
    runFileCommand(const std::function<FileResult()>& command);
    [[nodiscard]] bool openDocument(const QString& path) override;
    // A dialog with the typing hidden; with `confirm` it is typed twice and must be the same
    // and long enough, else the dialog says why and comes back.
    [[nodiscard]] std::optional<QString> askPassphrase(const QString& prompt,
                                                       bool confirm) override;
    // A progress dialog over the window once the work has taken long enough to notice, with
    // Cancel when the work can stop.
    void beginProgress(const QString& text, bool cancellable) override;
    [[nodiscard]] bool stepProgress(qint64 done, qint64 total) override;
    void endProgress() override;

    // Status bar panels count from 1: 1 the work under way, 2 the reporting period, 3 the
    // database, 5 the filter's state.
    void setStatus(int panel, const QString& text);
    void setMenuEnabled(MenuEntry entry, bool enabled);
    // The menus of the commands that work on a database.
    void setDataMenus(bool enabled);

    // The file dialogs of the database commands. Empty when cancelled.
    QString saveFileName(const QString& title);
    QString openFileName(const QString& title);
    // The open dialog of a field pack to merge. Empty when cancelled.
    QString packFileName(const QString& title);
    // The databases opened last, newest first, kept in the user's settings (in memory when
    // scripted, so that tests leave the user's settings alone).
    QStringList recentFiles() const;
    void rememberRecentFile(const QString& path);
    // A window's size and place by key ("window/main", "screens/U010"), kept in the user's
    // settings (in memory when scripted). Empty when nothing is kept.
    QByteArray storedGeometry(const QString& key) const;
    void storeGeometry(const QString& key, const QByteArray& geometry);
    // The extract file dialog: text and CSV files, opening in the folder last used.
    QString extractFileName();
    // The save dialog of a file the program writes (a grid export, a report's PDF); filter as
    // "Excel Workbook (*.xlsx)", whose suffix a name without one gets; it opens at `start`.
    // Empty when cancelled.
    QString gridExportFileName(const QString& title, const QString& filter,
                               const QString& start = {});

    // Test hook: when scripted, nothing modal is shown. Questions take the next queued answer
    // (No or Cancel when none is queued), file dialogs the next queued name (cancelled when none),
    // and everything asked, shown or opened is recorded.
    struct Shown {
        QString text;
        Icon icon;
    };
    void setScripted(bool scripted) { mScripted = scripted; }
    // Every front end made from now on starts scripted (for tests that start the whole program).
    static void setScriptedByDefault(bool scripted);
    bool isScripted() const { return mScripted; }
    void setNextAnswer(bool yes) { mAnswers.enqueue(yes); }
    void setNextFileName(const QString& name) { mFileNames.enqueue(name); }
    // What is typed into the passphrase dialog's next box (Cancel when none is queued).
    void setNextPassphrase(const QString& typed) { mPassphrases.enqueue(typed); }
    const QStringList& questions() const { return mQuestions; }
    const QVector<Shown>& messages() const { return mShown; }
    const QStringList& openedDocuments() const { return mOpened; }
    // The texts of the progress shown so far; scripted, Cancel is pressed at the given step of
    // the next cancellable work (-1: never).
    const QStringList& progressTexts() const { return mProgressTexts; }
    void setCancelAtStep(int step) { mCancelAtStep = step; }
    QString lastMessage() const { return mShown.isEmpty() ? QString() : mShown.last().text; }
    void clearRecords() {
        mQuestions.clear();
        mShown.clear();
    }

private:
    QString fileName(const QString& title, bool save, bool packOnly = false);
    // A Yes/No or OK/Cancel box with No or Cancel the default; true for Yes or OK.
    [[nodiscard]] bool ask(const QString& text, Icon icon, bool okCancel);
    // The passphrase typed and, with `confirm`, typed again; nothing when cancelled.
    std::optional<std::pair<QString, QString>> typePassphrase(const QString& prompt, bool confirm);

    MainWindow& mWindow;
    bool mBusy = false;
    bool mScripted = false;
    QQueue<bool> mAnswers;
    QQueue<QString> mFileNames;
    QQueue<QString> mPassphrases;
    QStringList mQuestions;
    QVector<Shown> mShown;
    QStringList mOpened;
    QStringList mProgressTexts;
    QStringList mRecentFiles;               // scripted only
    QHash<QString, QByteArray> mGeometries; // scripted only
    int mCancelAtStep = -1;
    int mSteps = 0;
    QString mProgressText;
    bool mCancellable = false;
    bool mCancelled = false;
    QElapsedTimer mProgressStarted;
    QElapsedTimer mSinceEvents;
    QPointer<QProgressDialog> mProgress;
};

} // namespace orv::ui
