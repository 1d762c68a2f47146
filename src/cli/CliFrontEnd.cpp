#include "CliFrontEnd.h"

#include <cstdio>
#include <unistd.h>

namespace orv::cli {

CliFrontEnd::CliFrontEnd(QTextStream& out, QTextStream& err) : mOut(out), mErr(err) {}

bool CliFrontEnd::ask(QuestionId id, const QString& text, Icon icon, bool okCancel) {
    if (auto it = mAnswersById.constFind(id);
        id != QuestionId::None && it != mAnswersById.constEnd())
        return *it;
    return FrontEnd::ask(id, text, icon, okCancel);
}

bool CliFrontEnd::askYesNo(const QString& text, Icon) {
    if (auto it = mAnswers.constFind(text); it != mAnswers.constEnd())
        return *it;
    if (!::isatty(STDIN_FILENO))
        return false;
    mOut << text << " [y/N] " << Qt::flush;
    char line[64] = {};
    if (!std::fgets(line, sizeof line, stdin))
        return false;
    return line[0] == 'y' || line[0] == 'Y';
}

void CliFrontEnd::message(const QString& text, Icon icon) {
    QString flat = text;
    flat.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (icon == Icon::Exclamation || icon == Icon::Critical) {
        mFailed = true;
        mErr << flat << Qt::endl;
    } else {
        mOut << flat << Qt::endl;
    }
}

} // namespace orv::cli
