#pragma once

#include "FrontEnd.h"
#include "import/ImportRun.h"

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
    bool askYesNo(const QString& text, Icon icon) override;
    void message(const QString& text, Icon icon) override;
    // There is no viewer here: the command prints where the file is.
    bool openDocument(const QString&) override { return true; }
    bool failed() const { return mFailed; }

private:
    QTextStream& mOut;
    QTextStream& mErr;
    QHash<QString, bool> mAnswers;
    QHash<QuestionId, bool> mAnswersById;
    bool mFailed = false;
};

// Keeps what the import screen's labels would show; printed once the command ends.
class CliLabelsView : public ImportView {
public:
    void setLabel(int label, const QString& text) override {
        if (label >= 1 && label <= 3)
            mLabels[label - 1] = text;
    }
    void print(QTextStream& out) const {
        for (const QString& text : mLabels)
            if (!text.isEmpty())
                out << text << "\n";
    }

private:
    QString mLabels[3];
};

} // namespace orv::cli
