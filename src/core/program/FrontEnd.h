#pragma once

#include <QString>

#include <optional>

namespace orv {

enum class Icon { None, Information, Question, Exclamation, Critical };

// The questions a front end without a person (the CLI) answers from its flags, by this id; the
// others show the text.
enum class QuestionId {
    None,
    ReloadMaster,
    ReloadReportedCounts,
    DeleteResults,
    UpgradeSchema,
};

// What a core procedure needs from whoever drives it: questions, messages, the busy pointer,
// and word of what happened (a database opened, the period or filter changed) for the front end
// to show as it likes. The GUI shows them; the CLI prints or answers by flags; tests script them.
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
    // The work under way, for as long as it lasts; an empty text ends it.
    virtual void workStatus(const QString& text) { (void)text; }
    virtual void setBusy(bool busy) { (void)busy; }
    // Lets the window paint and buttons react during long work.
    virtual void processEvents() {}

    // What happened, for the front end to show. Each is told after the fact.
    // A database was opened, or reopened after a command, and its commands can run; its file
    // name.
    virtual void databaseOpened(const QString& name) { (void)name; }
    // The database was given up for another, whose commands wait for it to open. A close for
    // the length of one command (compact, repair, save as) is not told.
    virtual void databaseClosed() {}
    // A sign-in succeeded: every command that needs its settings can run.
    virtual void signedIn() {}
    // The reporting period, as "Reporting Period - 07/01/2006 - 06/30/2007".
    virtual void periodChanged(const QString& text) { (void)text; }
    // The record filter changed; its state as "Filter (ON)" or "Filter (OFF)".
    virtual void recordFilterChanged(const QString& stateText) { (void)stateText; }
    // Whether the tip of the day shows at start-up, as stored or just chosen.
    virtual void showTipsChanged(bool show) { (void)show; }

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
    // A passphrase, typed where nobody sees it; nothing when the user gave none. `confirm` asks
    // for it twice (a new one, which must not be mistyped).
    [[nodiscard]] virtual std::optional<QString> askPassphrase(const QString& prompt,
                                                               bool confirm) {
        (void)prompt;
        (void)confirm;
        return std::nullopt;
    }
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
