#include "TestSupport.h"

#include "CliRunner.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace orv;

namespace {

using test::runCli;

class CliTest : public test::CliFixture {
protected:
    CliTest() : CliFixture(false) {}
};

} // namespace

TEST_F(CliTest, NewInfoSaveAsCompactRepair) {
    auto r = runCli(dir.path(), {"new", db});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();

    r = runCli(dir.path(), {"new", db});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(r.err.contains("--force"));
    EXPECT_EQ(runCli(dir.path(), {"new", db, "--force"}).rc, 0);

    r = runCli(dir.path(), {"info", db});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("PopType: 1\n"));
    EXPECT_TRUE(r.out.contains("tblORVmaster: 0\n"));
    EXPECT_TRUE(r.out.contains("tblstates: 59\n"));

    EXPECT_EQ(runCli(dir.path(), {"saveas", db, dir.file("copy.mdb")}).rc, 0);
    EXPECT_EQ(runCli(dir.path(), {"saveas", db, dir.file("copy.mdb")}).rc, 1);
    EXPECT_EQ(runCli(dir.path(), {"compact", dir.file("copy.mdb")}).rc, 0);
    EXPECT_TRUE(QFile::exists(dir.file("temp.mdb")));
    r = runCli(dir.path(), {"repair", db});
    EXPECT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("End of repair procedure!"));
}

TEST_F(CliTest, FailuresAndUsage) {
    // Usage in general: the command line test; here a verb's own.
    EXPECT_EQ(runCli(dir.path(), {"new", "a", "b"}).rc, 2);
    auto r = runCli(dir.path(), {"info", dir.file("missing.mdb")});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(r.err.startsWith("Unable to attach to database!"));
}
