#pragma once

#include "import/ImportRun.h"
#include "program/FrontEnd.h"

#include <QElapsedTimer>
#include <QHash>
#include <QTextStream>

namespace orv::cli {

// Questions are answered from flags where the command has them, else asked on the terminal
// (No when there is none); warnings and errors go to stderr, everything else to stdout.
class CliFrontEnd : public FrontEnd {
public:
    CliFrontEnd(QTextStream& out, QTextStream& err);
    void setAnswer(QuestionId question, bool yes) { mAnswersById.insert(question, yes); }
    // For the questions that have no id.
    void setAnswer(const QString& question, bool yes) { mAnswers.insert(question, yes); }
    bool ask(QuestionId id, const QString& text, Icon icon, bool okCancel) override;
    [[nodiscard]] bool askYesNo(const QString& text, Icon icon) override;
    void message(const QString& text, Icon icon) override;
    // There is no viewer here: the command prints where the file is.
    [[nodiscard]] bool openDocument(const QString&) override { return true; }
    bool failed() const { return mFailed; }
    // A progress line on stderr, redrawn in place, when stderr is a terminal; nothing otherwise,
    // so that scripts and logs see only the outcome.
    void beginProgress(const QString& text, bool cancellable) override;
    [[nodiscard]] bool stepProgress(qint64 done, qint64 total) override;
    void endProgress() override;
    void setTerminal(bool terminal) { mTerminal = terminal; }
    // From ORVDV_PASSPHRASE, else typed on the terminal without echo; nothing without either.
    [[nodiscard]] std::optional<QString> askPassphrase(const QString& prompt,
                                                       bool confirm) override;

private:
    void drawProgress(qint64 done, qint64 total);

    QTextStream& mOut;
    QTextStream& mErr;
    QHash<QString, bool> mAnswers;
    QHash<QuestionId, bool> mAnswersById;
    bool mFailed = false;
    bool mTerminal;
    QString mProgressText;
    QElapsedTimer mSinceDrawn;
    bool mProgressShown = false;
};

// Keeps what the import screen's labels would show; printed once the command ends. The
// reading's progress goes to the front end's progress line.
class CliLabelsView : public ImportView {
public:
    explicit CliLabelsView(FrontEnd* ui = nullptr) : mUi(ui) {}
    ~CliLabelsView() override {
        if (mUi && mProgress)
            mUi->endProgress();
    }
    void setProgress(qint64 done, qint64 total) override {
        if (!mUi)
            return;
        if (!mProgress)
            mUi->beginProgress(QStringLiteral("Importing"), false);
        mProgress = true;
        // Begun without a cancel: there is no answer to heed.
        static_cast<void>(mUi->stepProgress(done, total));
    }
    void setLabel(int label, const QString& text) override {
        if (label >= 1 && label <= 3)
            mLabels[label - 1] = text;
    }
    void print(QTextStream& out) {
        if (mUi && mProgress)
            mUi->endProgress();
        mProgress = false;
        for (const QString& text : mLabels)
            if (!text.isEmpty())
                out << text << "\n";
    }

private:
    FrontEnd* mUi;
    bool mProgress = false;
    QString mLabels[3];
};

} // namespace orv::cli
