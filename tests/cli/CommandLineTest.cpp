#include "program/Version.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

namespace {

struct LineCase {
    const char* what;
    const char* program;
    QStringList args;
    int rc;
    const char* out; // what stdout holds (or begins with, for the usage texts); "" for nothing
    const char* err;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.what;
}

const QString kVersion = QString::fromLatin1(orv::kPackageVersion);

class CommandLineTest : public ::testing::TestWithParam<LineCase> {};

// Both programs as a user at a terminal without a display runs them.
TEST_P(CommandLineTest, AnswersOnTheRightStreamWithTheRightStatus) {
    const LineCase& c = GetParam();
    const QString program = QStringLiteral(ORV_PROGRAM_DIR "/") + QLatin1String(c.program);
    if (!QFileInfo::exists(program))
        GTEST_SKIP() << c.program << " is not built";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, c.args);
    ASSERT_TRUE(p.waitForFinished(30000));
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), c.rc) << err.toStdString();
    const QString wantOut = QString::fromLatin1(c.out).replace("VERSION", kVersion);
    if (wantOut.isEmpty())
        EXPECT_TRUE(out.isEmpty()) << out.toStdString();
    else
        EXPECT_TRUE(out.startsWith(wantOut)) << out.toStdString();
    if (*c.err == 0)
        EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    else
        EXPECT_TRUE(err.contains(QLatin1String(c.err))) << err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLineTest,
    ::testing::Values(
        LineCase{"desktop version", "orvdv", {"--version"}, 0, "orvdv VERSION\n", ""},
        LineCase{"desktop help", "orvdv", {"--help"}, 0, "usage: orvdv [--home DIR]", ""},
        LineCase{"desktop help beside a wrong option",
                 "orvdv",
                 {"--bogus", "-h"},
                 0,
                 "usage: orvdv",
                 ""},
        LineCase{"desktop wrong option", "orvdv", {"--bogus"}, 2, "", "usage: orvdv"},
        LineCase{"desktop --home without its folder", "orvdv", {"--home"}, 2, "", "usage: orvdv"},
        LineCase{"desktop without a display", "orvdv", {}, 1, "", "no display found"},
        LineCase{"batch version", "orvdv-cli", {"--version"}, 0, "orvdv-cli VERSION\n", ""},
        LineCase{"batch help", "orvdv-cli", {"--help"}, 0, "usage: orvdv-cli [--home DIR]", ""},
        LineCase{"batch nothing to do", "orvdv-cli", {}, 2, "", "usage: orvdv-cli"},
        LineCase{"batch wrong option", "orvdv-cli", {"--bogus"}, 2, "", "unknown option '--bogus'"},
        LineCase{"batch unknown command",
                 "orvdv-cli",
                 {"frobnicate"},
                 2,
                 "",
                 "unknown command 'frobnicate'"},
        LineCase{"batch command help",
                 "orvdv-cli",
                 {"import", "--help"},
                 0,
                 "usage: orvdv-cli [--home DIR] import DB EXTRACT",
                 ""},
        LineCase{"batch command with a wrong argument",
                 "orvdv-cli",
                 {"info"},
                 2,
                 "",
                 "usage: orvdv-cli [--home DIR] info"}));

} // namespace
