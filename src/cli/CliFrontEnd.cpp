#include "CliFrontEnd.h"

#include <algorithm>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace orv::cli {

CliFrontEnd::CliFrontEnd(QTextStream& out, QTextStream& err)
    : mOut(out), mErr(err), mTerminal(::isatty(STDERR_FILENO)) {}

bool CliFrontEnd::ask(QuestionId id, const QString& text, Icon icon, bool okCancel) {
    if (auto it = mAnswersById.constFind(id);
        id != QuestionId::None && it != mAnswersById.constEnd())
        return *it;
    if (id == QuestionId::UpgradeSchema && !::isatty(STDIN_FILENO))
        mErr << "Give --yes to add the tables; without a terminal nobody is asked." << Qt::endl;
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

namespace {

// One line from the terminal with its echo off; nothing at the end of the input.
std::optional<QString> readHidden(QTextStream& err, const QString& prompt) {
    err << prompt << ' ' << Qt::flush;
    termios before{};
    const bool tty = ::tcgetattr(STDIN_FILENO, &before) == 0;
    if (tty) {
        termios quiet = before;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    char line[1024] = {};
    const bool got = std::fgets(line, sizeof line, stdin) != nullptr;
    if (tty)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
    err << Qt::endl;
    if (!got)
        return std::nullopt;
    QString text = QString::fromLocal8Bit(line);
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

} // namespace

std::optional<QString> CliFrontEnd::askPassphrase(const QString& prompt, bool confirm) {
    if (const QString given = qEnvironmentVariable("ORVDV_PASSPHRASE"); !given.isEmpty())
        return given;
    if (!::isatty(STDIN_FILENO))
        return std::nullopt;
    const std::optional<QString> first = readHidden(mErr, prompt);
    if (!first || !confirm)
        return first;
    const std::optional<QString> again = readHidden(mErr, QStringLiteral("Type it again:"));
    if (!again || *again != *first) {
        mErr << "The two passphrases differ." << Qt::endl;
        return std::nullopt;
    }
    return first;
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

void CliFrontEnd::beginProgress(const QString& text, bool) {
    mProgressText = text;
    mProgressShown = false;
    mSinceDrawn.start();
}

bool CliFrontEnd::stepProgress(qint64 done, qint64 total) {
    // Redrawn ten times a second at most; short work shows nothing.
    if (mTerminal && mSinceDrawn.elapsed() >= 100) {
        drawProgress(done, total);
        mSinceDrawn.restart();
    }
    return true;
}

void CliFrontEnd::drawProgress(qint64 done, qint64 total) {
    QString line = mProgressText;
    if (total > 0)
        line += QStringLiteral(" %1%").arg(std::min<qint64>(100, done * 100 / total));
    else if (done > 0)
        line += QStringLiteral(" %1").arg(done);
    else
        line += QStringLiteral("...");
    // Back to the line's start, the text, and the rest of the old line cleared.
    mErr << '\r' << line << "\x1b[K" << Qt::flush;
    mProgressShown = true;
}

void CliFrontEnd::endProgress() {
    if (mProgressShown)
        mErr << "\r\x1b[K" << Qt::flush;
    mProgressShown = false;
}

} // namespace orv::cli
