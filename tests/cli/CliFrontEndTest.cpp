#include "CliFrontEnd.h"

#include <gtest/gtest.h>

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
