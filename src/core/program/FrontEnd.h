#pragma once

#include <QString>

namespace orv {

enum class Icon { None, Information, Question, Exclamation, Critical };

// Menu entries whose state core procedures change.
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

// The questions a front end without a person (the CLI) answers from its flags, by this id; the
// others show the text.
enum class QuestionId {
    None,
    ReloadMaster,
    ReloadReportedCounts,
    DeleteResults,
};

// What a core procedure needs from whoever drives it: questions, messages, status panels,
// the busy pointer and menu states. The GUI shows them; the CLI prints or answers by flags;
// tests script them.
class FrontEnd {
public:
    virtual ~FrontEnd() = default;
    // A Yes/No question whose default button is No. Returns true for Yes.
    [[nodiscard]] virtual bool askYesNo(const QString& text, Icon icon = Icon::Question) = 0;
    virtual void message(const QString& text, Icon icon = Icon::None) = 0;
    // An OK/Cancel question (OK is what goes on). Returns true for OK.
    [[nodiscard]] virtual bool askOkCancel(const QString& text, Icon icon = Icon::Exclamation) {
        return askYesNo(text, icon);
    }
    // A question with an id: Yes/No, or OK/Cancel when `okCancel`.
    [[nodiscard]] virtual bool ask(QuestionId id, const QString& text, Icon icon,
                                   bool okCancel = false) {
        (void)id;
        return okCancel ? askOkCancel(text, icon) : askYesNo(text, icon);
    }
    // Panels count from 1: 1 progress, 2 reporting period, 3 database, 5 filter.
    virtual void setStatus(int panel, const QString& text) {
        (void)panel;
        (void)text;
    }
    virtual void setBusy(bool busy) { (void)busy; }
    // Lets the window paint and buttons react during long work.
    virtual void processEvents() {}
    virtual void setMenuEnabled(MenuEntry entry, bool enabled) {
        (void)entry;
        (void)enabled;
    }
    virtual void setMenuChecked(MenuEntry entry, bool checked) {
        (void)entry;
        (void)checked;
    }
    // Long work tells how far it has come: begin, steps of done out of total (total 0 when it
    // is not known), end. A step returns false once the user asked to stop, which only work
    // begun as cancellable asks for; a front end should keep steps cheap however often they come.
    virtual void beginProgress(const QString& text, bool cancellable) {
        (void)text;
        (void)cancellable;
    }
    [[nodiscard]] virtual bool stepProgress(qint64 done, qint64 total) {
        (void)done;
        (void)total;
        return true;
    }
    virtual void endProgress() {}
    // Ends the program at once (after a failure nothing can recover from).
    virtual void endProgram() {}
    // Shows a file in the desktop's viewer for it; false when none could open it.
    [[nodiscard]] virtual bool openDocument(const QString& path) {
        (void)path;
        return false;
    }
};

// The progress of one piece of long work, for as long as it lives.
class ProgressScope {
public:
    ProgressScope(FrontEnd& ui, const QString& text, bool cancellable = false) : mUi(ui) {
        mUi.beginProgress(text, cancellable);
    }
    ~ProgressScope() { mUi.endProgress(); }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
    // False once the user asked to stop.
    [[nodiscard]] bool step(qint64 done, qint64 total) {
        mStopped = mStopped || !mUi.stepProgress(done, total);
        return !mStopped;
    }
    bool stopped() const { return mStopped; }
    // For work that cannot be stopped (begun without a cancel): only tells how far it is.
    void show(qint64 done, qint64 total) { static_cast<void>(step(done, total)); }

private:
    FrontEnd& mUi;
    bool mStopped = false;
};

// Says No to every question and forgets every message; for callers that want neither.
class SilentFrontEnd : public FrontEnd {
public:
    bool askYesNo(const QString&, Icon) override { return false; }
    void message(const QString&, Icon) override {}
};

} // namespace orv
