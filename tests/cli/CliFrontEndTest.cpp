#include "CliFrontEnd.h"

#include <gtest/gtest.h>

#include <QThread>

using namespace orv;

TEST(CliFrontEndTest, FlagsAnswerQuestionsByTheirId) {
    QString out, err;
    QTextStream o(&out), e(&err);
    cli::CliFrontEnd ui(o, e);
    ui.setAnswer(QuestionId::ReloadMaster, true);
    ui.setAnswer(QuestionId::DeleteResults, false);
    ui.setAnswer(QStringLiteral("Repair the VRQ database?"), true);
    ui.setAnswer(QStringLiteral("Reload?"), false);
    struct Case {
        QuestionId id;
        const char* text;
        bool okCancel;
        bool expected;
    };
    const Case cases[] = {
        {QuestionId::ReloadMaster, "any wording at all", false, true},
        {QuestionId::ReloadMaster, "Reload?", false, true}, // the id wins over the text
        {QuestionId::DeleteResults, "Repair the VRQ database?", true, false},
        {QuestionId::None, "Repair the VRQ database?", false, true}, // no id: by its text
    };
    for (const Case& c : cases)
        EXPECT_EQ(ui.ask(c.id, QString::fromLatin1(c.text), Icon::Question, c.okCancel), c.expected)
            << c.text;
    EXPECT_TRUE(out.isEmpty()); // nothing was asked on the terminal
}

// Long work draws one line on a terminal, redrawn in place and cleared at the end; piped or
// logged, stderr gets nothing but the outcome.
TEST(CliFrontEndTest, ProgressLineOnlyOnATerminal) {
    for (const bool terminal : {false, true}) {
        QString out, err;
        QTextStream o(&out), e(&err);
        cli::CliFrontEnd ui(o, e);
        ui.setTerminal(terminal);
        {
            ProgressScope progress(ui, QStringLiteral("Compacting the database..."));
            QThread::msleep(120); // short work shows nothing: a line is drawn after a while
            EXPECT_TRUE(progress.step(50, 200));
            QThread::msleep(120);
            EXPECT_TRUE(progress.step(7, 0));
        }
        e.flush();
        EXPECT_TRUE(out.isEmpty());
        if (!terminal) {
            EXPECT_TRUE(err.isEmpty()) << err.toStdString();
            continue;
        }
        EXPECT_EQ(err, QStringLiteral("\rCompacting the database... 25%\x1b[K"
                                      "\rCompacting the database... 7\x1b[K"
                                      "\r\x1b[K"));
    }
}
