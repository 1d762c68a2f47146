#include "TestSupport.h"

#include "CliRunner.h"
#include "db/Database.h"
#include "db/DatabaseLock.h"

#include <QLockFile>

#include <gtest/gtest.h>

using namespace orv;

namespace {

using test::CliResult;

// Two validators take packs of the demo sample that share one record, and mark it differently.
class FieldWorkCliTest : public test::DemoCliTest {
protected:
    void SetUp() override {
        DemoCliTest::SetUp();
        if (HasFatalFailure())
            return;
        qputenv("ORVDV_PASSPHRASE", "correct horse");
        Database d(db);
        Statement st = d.prepare("SELECT obs, ssn FROM tblsample ORDER BY obs LIMIT 3");
        while (st.step()) {
            obs << st.text(0);
            ssn << st.text(1);
        }
        ASSERT_EQ(obs.size(), 3);
    }
    void TearDown() override {
        qunsetenv("ORVDV_PASSPHRASE");
        DemoCliTest::TearDown();
    }
    CliResult ok(const QStringList& args) {
        const CliResult r = cli(args);
        EXPECT_EQ(r.rc, 0) << args.join(' ').toStdString() << ": " << r.err.toStdString();
        return r;
    }
    // What a command prints after its first line, which names the file.
    static QString body(const CliResult& r) { return r.out.section('\n', 1); }

    QStringList obs, ssn;
};

TEST_F(FieldWorkCliTest, TwoValidatorsPacksMergedWithTheirConflictSettled) {
    const QString ann = dir.file("ann.orvpack"), bo = dir.file("bo.orvpack");
    ok({"pack", db, ann, "--obs", obs[0] + "," + obs[1], "--validator", "Ann Lee"});
    ok({"pack", db, bo, "--obs", obs[1] + "," + obs[2], "--validator", "Bo Diaz"});
    EXPECT_EQ(test::readFile(ann).indexOf(ssn[0].toLatin1()), -1);

    // Commands that are no validator's work refuse a pack; the validator's work goes on.
    for (const QStringList& refused : {QStringList{"rv", ann}, QStringList{"error-rates", ann},
                                       QStringList{"pack", ann, dir.file("x"), "--all"}}) {
        const CliResult r = cli(refused);
        EXPECT_EQ(r.rc, 1) << refused.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains("Not available in a field pack")) << r.err.toStdString();
    }
    ok({"worksheet", ann, "--obs", obs[0], "--ssn", ssn[0], "--pass", "1,2"});
    ok({"worksheet", ann, "--obs", obs[1], "--ssn", ssn[1], "--pass", "1"});
    ok({"worksheet", bo, "--obs", obs[1], "--ssn", ssn[1], "--fail", "1"});
    ok({"worksheet", bo, "--obs", obs[2], "--ssn", ssn[2], "--wrong-ssn", "on"});
    ok({"sample", ann});

    // A pack still open in another copy of the program is neither merged nor worked in.
    {
        QLockFile otherCopy(DatabaseLock::lockFileFor(ann));
        ASSERT_TRUE(otherCopy.tryLock(0));
        for (const QStringList& refused :
             {QStringList{"merge", db, ann}, QStringList{"sample", ann}}) {
            const CliResult r = cli(refused);
            EXPECT_EQ(r.rc, 1) << refused.join(' ').toStdString();
            EXPECT_TRUE(r.err.contains("open in another copy of the program"))
                << r.err.toStdString();
        }
    }
    ok({"merge", db, ann});
    CliResult r = cli({"merge", db, bo});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(r.out.contains(obs[1] + "\t" + ssn[1] + "\tVet\t\tPass\tFail\n"))
        << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("nothing was merged"));
    r = ok({"merge", db, bo, "--prefer", "pack"});
    EXPECT_TRUE(r.out.contains("1 conflict settled for the pack")) << r.out.toStdString();
    r = ok({"merge", db, bo, "--prefer", "main"});
    EXPECT_TRUE(r.out.startsWith("This pack was merged on ")) << r.out.toStdString();

    // The history tells who changed what, from which pack.
    r = ok({"history", db});
    EXPECT_TRUE(r.out.contains("(Ann Lee)\t" + obs[0])) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("(Bo Diaz)\t" + obs[1] + "\t" + ssn[1] + "\tVetP/F\tP\tF"));

    // The rates are those of the same marks made at the office.
    const QString office = dir.file("office.mdb");
    ok({"new", office});
    ok({"signin", office, "--fiscal-year", "2008"});
    ok({"import", office, ORV_SOURCE_DIR "/demo/demo-extract.csv", "--seed", "7", "--yes"});
    ok({"worksheet", office, "--obs", obs[0], "--ssn", ssn[0], "--pass", "1,2"});
    ok({"worksheet", office, "--obs", obs[1], "--ssn", ssn[1], "--fail", "1"});
    ok({"worksheet", office, "--obs", obs[2], "--ssn", ssn[2], "--wrong-ssn", "on"});
    EXPECT_EQ(ok({"error-rates", db}).out, ok({"error-rates", office}).out);
    EXPECT_EQ(body(ok({"sample", db})), body(ok({"sample", office})));
}

} // namespace
