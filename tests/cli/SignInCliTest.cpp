#include "TestSupport.h"

#include "CliRunner.h"

#include <gtest/gtest.h>

using namespace orv;

namespace {

using test::CliResult;

using SignInCliTest = test::CliFixture;

TEST_F(SignInCliTest, FiscalYearAloneSetsThePeriod) {
    const CliResult r = cli({"signin", db, "--fiscal-year", "2008"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Period: 07/01/2006\n"));
    EXPECT_TRUE(r.out.contains("ReportingPeriodEnd: 06/30/2007\n"));
    EXPECT_TRUE(r.out.contains("Reporting Period - 07/01/2006 - 06/30/2007\n"));
    EXPECT_TRUE(r.out.contains("Filter (OFF)\n"));
    EXPECT_TRUE(
        r.out.contains("Record filter: fWIAexitdate >= 07/01/2006 and fWIAexitdate <= 06/30/2007"));
}

TEST_F(SignInCliTest, DatesAndFilters) {
    CliResult r = cli({"signin", db, "--fiscal-year", "2008", "--period-start", "10012006",
                       "--sample-start", "Jan 5 2008", "--office", "North", "--case-mgr", "Ann"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Period: 10/01/2006\n"));
    EXPECT_TRUE(r.out.contains("SampleStartDate: 01/05/2008\n"));
    EXPECT_TRUE(r.out.contains("Filter (ON)\n"));
    EXPECT_TRUE(r.out.contains(
        "Filter text: tblORVMaster.OfficeName = 'North' tblORVMaster.CaseMgr = 'Ann'\n"));

    // The filters stay until cleared, and the settings say which were kept; an empty value
    // clears one, --clear-filter all of them before those given.
    r = cli({"signin", db, "--fiscal-year", "2008", "--office", ""});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Filter text: tblORVMaster.CaseMgr = 'Ann'\n"));
    EXPECT_TRUE(r.out.contains(
        "CaseMgr: Ann (kept from before; --case-mgr \"\" or --clear-filter clears it)\n"));
    EXPECT_TRUE(r.out.contains("OfficeName:  \n"));
    r = cli({"signin", db, "--fiscal-year", "2008", "--clear-filter", "--wib", "West"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Filter text: tblORVMaster.WibName = 'West'\n"));
    EXPECT_TRUE(r.out.contains("CaseMgr:  \n"));
    r = cli({"signin", db, "--fiscal-year", "2008", "--clear-filter"});
    EXPECT_TRUE(r.out.contains("Filter (OFF)\n"));
    EXPECT_FALSE(r.out.contains("kept from before"));
    EXPECT_TRUE(cli({"signin", "--help"})
                    .out.contains("A filter left off keeps the one stored "
                                  "before"));
}

TEST_F(SignInCliTest, InvalidInputFails) {
    CliResult r = cli({"signin", db, "--fiscal-year", "2008", "--period-end", "13012007"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err.trimmed(), "Please enter a valid date.");

    r = cli({"signin", db, "--fiscal-year", "2008", "--period-start", "07012008"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err.trimmed(),
              "Invalid Dates -- The Period End Date is before the Period Start Date.");

    r = cli({"signin", db, "--fiscal-year", "next"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err.trimmed(), "Fiscal Year must be numeric.");

    // Nothing was stored by the failures.
    r = cli({"info", db});
    EXPECT_TRUE(r.out.contains("Period: \n"));
}

TEST_F(SignInCliTest, Usage) {
    EXPECT_EQ(cli({"signin", db}).rc, 2);
    EXPECT_EQ(cli({"signin", "--fiscal-year", "2008"}).rc, 2);
    EXPECT_EQ(cli({"signin", db, "--fiscal-year"}).rc, 2);
    EXPECT_EQ(cli({"signin", db, "--fiscal-year", "2008", "--bogus", "x"}).rc, 2);
}

} // namespace
