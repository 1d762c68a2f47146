#include "TestSupport.h"

#include "CliRunner.h"
#include "db/Database.h"

#include <gtest/gtest.h>

using namespace orv;

namespace {

using test::CliResult;

class ReportCliTest : public test::DemoCliTest {
protected:
    static QStringList lines(const CliResult& r) {
        QStringList out = r.out.split('\n');
        if (!out.isEmpty() && out.last().isEmpty())
            out.removeLast();
        return out;
    }
    qint64 scalar(const char* sql) {
        Database d(db);
        return d.scalar(sql).toLongLong();
    }
};

} // namespace

TEST_F(ReportCliTest, RvPrintsTheNineRowsItStored) {
    const CliResult r = cli({"rv", db});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    const QStringList out = lines(r);
    ASSERT_EQ(out.size(), 10);
    EXPECT_EQ(out[0], "seq\tdescription\tvalue\trtype");
    Database d(db);
    Statement st = d.prepare("SELECT seq, description, value FROM tblvalidation ORDER BY seq");
    for (int i = 1; i <= 9; ++i) {
        ASSERT_TRUE(st.step());
        const QStringList cells = out[i].split('\t');
        ASSERT_EQ(cells.size(), 4);
        EXPECT_EQ(cells[0], QString::number(i));
        EXPECT_EQ(cells[1], st.text(1));
        EXPECT_DOUBLE_EQ(cells[2].toDouble(), st.real(2)) << i;
        EXPECT_EQ(cells[3], "07/01/2006 - 06/30/2007");
    }
}

// What browse prints is the pager's (checked against the grid sources and the screens); here
// the options and that browse lists the records the groups count.
TEST_F(ReportCliTest, GroupsAndBrowseAgree) {
    auto grouped = [&] {
        const CliResult groups = cli({"groups", db});
        EXPECT_EQ(groups.rc, 0) << groups.err.toStdString();
        const QStringList rows = lines(groups);
        EXPECT_EQ(rows.size(), 26);
        qint64 total = 0;
        for (const QString& line : rows.mid(1))
            total += line.split('\t')[1].toLongLong();
        return total;
    };
    const qint64 total = grouped();
    EXPECT_EQ(total, scalar("SELECT count(*) FROM tblORVmaster WHERE spopnum <> 0"));
    CliResult r = cli({"browse", db});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(lines(r).size() - 1, total);

    r = cli({"browse", db, "--order", "ssn", "--desc", "--limit", "5"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    QStringList out = lines(r);
    ASSERT_EQ(out.size(), 6);
    EXPECT_EQ(out[1].split(',')[2],
              QString::number(scalar("SELECT max(CAST(SSN AS INTEGER)) FROM tblORVmaster WHERE "
                                     "spopnum <> 0")));

    // The record filter stored at sign-in holds for both.
    ASSERT_EQ(cli({"signin", db, "--fiscal-year", "2008", "--office", "Office 11"}).rc, 0);
    r = cli({"browse", db, "--order", "ExitDate"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    out = lines(r);
    EXPECT_EQ(out.size() - 1, scalar("SELECT count(*) FROM tblORVmaster WHERE spopnum <> 0 AND "
                                     "OfficeName = 'Office 11'"));
    EXPECT_EQ(grouped(), out.size() - 1);
}

TEST_F(ReportCliTest, BadOptionsAreUsageErrors) {
    struct Case {
        QStringList args;
        int rc;
    };
    const Case cases[] = {
        {{"browse", db, "--group", "0"}, 2},
        {{"browse", db, "--group", "x"}, 2},
        {{"browse", db, "--order", "spopnum"}, 2},
        {{"browse", db, "--desc"}, 2},
        {{"browse", db, "--limit", "-1"}, 2},
        {{"rv"}, 2},
        {{"groups", db, "extra"}, 2},
        {{"rv", dir.file("missing.mdb")}, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cli(c.args).rc, c.rc) << c.args.join(' ').toStdString();
}

TEST_F(ReportCliTest, AnUnsignedDatabaseIsRefused) {
    const QString fresh = dir.file("fresh.mdb");
    ASSERT_EQ(cli({"new", fresh}).rc, 0);
    const CliResult r = cli({"groups", fresh});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(r.err.contains("has not been signed in")) << r.err.toStdString();
}

// A report for a record the sample does not hold ends with status 1 and no PDF.
TEST_F(ReportCliTest, AnObsOutsideTheSampleIsRefused) {
    const QString pdf = dir.file("out.pdf");
    for (const char* obs : {"999999999", "12x", "-1"}) {
        const CliResult r = cli({"report", db, "R005-1", "--obs", obs, "--pdf", pdf});
        EXPECT_EQ(r.rc, 1) << obs;
        EXPECT_EQ(r.err, QStringLiteral("OBS %1 is not in the sample.\n").arg(obs));
        EXPECT_FALSE(QFile::exists(pdf)) << obs;
    }
}
