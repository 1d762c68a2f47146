// Files the program writes, end to end through the batch program; reports need the graphical
// application, hence here.
#include "TestSupport.h"

#include "../cli/CliRunner.h"
#include "ScriptedFrontEnd.h"

#include "db/SafeFile.h"
#include "program/DataSource.h"
#include "session/Session.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>

using namespace orv;

namespace {

using test::modeOf;

// Files that hold SSNs are their owner's alone, whatever the umask; a file that exists keeps
// the permissions its owner gave it.
TEST(WrittenFiles, WhatTheProgramMakesOnlyItsOwnerReads) {
    const mode_t savedMask = ::umask(022);
    test::ProgramDir dir;
    qputenv("ODBCINI", dir.file("odbc.ini").toLocal8Bit());
    const QString db = dir.file("run.mdb");
    const QString out = dir.file("out");
    const QString kept = dir.file("kept.csv");
    test::writeFile(kept, "earlier");
    ::chmod(QFile::encodeName(kept).constData(), 0644);
    const QStringList commands[] = {
        {"new", db},
        {"signin", db, "--fiscal-year", "2008"},
        {"import", db, ORV_SOURCE_DIR "/demo/demo-extract.csv", "--seed", "7", "--yes"},
        {"export-groups", db, dir.file("out/groups")},
        {"export-xml", db, dir.file("out/s.xml")},
        {"export-grid", db, "browse", "--csv", dir.file("out/g.csv")},
        {"export-grid", db, "browse", "--xlsx", dir.file("out/g.xlsx")},
        {"export-grid", db, "sample", "--csv", kept},
        {"report", db, "R005-1", "--pdf", dir.file("out/r.pdf")},
        {"saveas", db, dir.file("out/copy.mdb")},
    };
    QDir().mkpath(out);
    for (const QStringList& c : commands) {
        const test::CliResult r = test::runCli(dir.path(), c);
        ASSERT_EQ(r.rc, 0) << c.join(' ').toStdString() << ": " << r.err.toStdString();
    }
    // The template copy the data source points at before any database is made.
    test::ScriptedFrontEnd ui;
    qputenv("ODBCINI", dir.file("other.ini").toLocal8Bit());
    Session session(dir.path(), &ui);
    ensureDataSource(session.ui(), session.programDir());
    qunsetenv("ODBCINI");
    ::umask(savedMask);

    const struct {
        const char* file;
        int mode;
    } expected[] = {
        {"run.mdb", 0600},
        {"ImportError.txt", 0600},
        {"odbc.ini", 0600},
        {"out/groups", 0700},
        {"out/groups/ParticipantGroup1.1.1.txt", 0600},
        {"out/s.xml", 0600},
        {"out/g.csv", 0600},
        {"out/g.xlsx", 0600},
        {"out/r.pdf", 0600},
        {"out/copy.mdb", 0600},
        {"ORVTemplate.mdb", 0600},
        {"kept.csv", 0644},
    };
    for (const auto& e : expected)
        EXPECT_EQ(modeOf(dir.file(e.file)), e.mode) << e.file;
    EXPECT_NE(test::readFile(kept), "earlier");
}

// A PDF the disk cannot take leaves the earlier one and says why.
TEST(WrittenFiles, APdfTheDiskCannotTakeKeepsTheEarlierOne) {
    test::ProgramDir dir;
    qputenv("ODBCINI", dir.file("odbc.ini").toLocal8Bit());
    const QString db = dir.file("run.mdb");
    ASSERT_EQ(test::runCli(dir.path(), {"new", db}).rc, 0);
    ASSERT_EQ(test::runCli(dir.path(), {"signin", db, "--fiscal-year", "2008"}).rc, 0);
    const QString pdf = dir.file("r.pdf");
    test::writeFile(pdf, "earlier");
    files::setWriteFault([&pdf](const QString& path, bool) { return path == pdf ? ENOSPC : 0; });
    const test::CliResult r = test::runCli(dir.path(), {"report", db, "R002-1", "--pdf", pdf});
    files::setWriteFault({});
    qunsetenv("ODBCINI");
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "Error in viewing report The disk is full: " + pdf +
                         " was not written; the previous file is unchanged.\n");
    EXPECT_EQ(test::readFile(pdf), "earlier");
    EXPECT_EQ(QDir(dir.path()).entryList({".r.pdf*"}, QDir::Files | QDir::Hidden), QStringList());
}

} // namespace
