#pragma once

#include "Cli.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTextStream>

namespace orv::test {

struct CliResult {
    int rc;
    QString out;
    QString err;
};

// Runs one command line in-process, with home as the program folder.
inline CliResult runCli(const QString& home, QStringList args) {
    QString out, err;
    QTextStream o(&out), e(&err);
    args.prepend(home);
    args.prepend(QStringLiteral("--home"));
    const int rc = cli::run(args, QStringLiteral("/nonexistent"), o, e);
    o.flush();
    e.flush();
    return {rc, out, err};
}

// A program folder whose data source file is its own, and the database run.mdb in it, made
// with `new` unless made is false.
class CliFixture : public ::testing::Test {
protected:
    explicit CliFixture(bool made = true) : mMade(made) {}
    void SetUp() override {
        qputenv("ODBCINI", dir.file(QStringLiteral("odbc.ini")).toLocal8Bit());
        db = dir.file(QStringLiteral("run.mdb"));
        if (mMade) {
            ASSERT_EQ(cli({QStringLiteral("new"), db}).rc, 0);
        }
    }
    void TearDown() override { qunsetenv("ODBCINI"); }

    CliResult cli(const QStringList& args) { return runCli(dir.path(), args); }

    ProgramDir dir;
    QString db;

private:
    bool mMade;
};

// The demo extract in a database made as a user makes one: new, sign-in, import.
class DemoCliTest : public CliFixture {
protected:
    void SetUp() override {
        CliFixture::SetUp();
        ASSERT_EQ(cli({QStringLiteral("signin"), db, QStringLiteral("--fiscal-year"),
                       QStringLiteral("2008")})
                      .rc,
                  0);
        const CliResult r = cli(
            {QStringLiteral("import"), db, QStringLiteral(ORV_SOURCE_DIR "/demo/demo-extract.csv"),
             QStringLiteral("--seed"), QStringLiteral("7"), QStringLiteral("--yes")});
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    }
};

} // namespace orv::test
