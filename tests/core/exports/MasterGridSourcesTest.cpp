// The browse and summary grid sources against what the batch front end prints.
#include "../../cli/CliRunner.h"
#include "../validation/ValidationFixture.h"

#include "exports/MasterGridSources.h"
#include "session/SignIn.h"
#include "validation/MasterPager.h"
#include "validation/OutcomeGroupSummary.h"

#include <gtest/gtest.h>

using namespace orv;

namespace {

class MasterGridSourcesTest : public test::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        path = dir.file("run.mdb");
        ASSERT_EQ(test::runCli(dir.path(), {"new", path}).rc, 0);
        ASSERT_EQ(test::runCli(dir.path(), {"signin", path, "--fiscal-year", "2008"}).rc, 0);
        ASSERT_NO_THROW(session->openDatabaseConnection(path));
        // Ties, Nulls, commas and quotes; one record of no group, one outside the period.
        const struct {
            int obs, group;
            QVariant gender, earn;
            const char* exit;
        } rows[] = {
            {1, 3, "M", 100.5, "2006-10-15"},      {2, 3, QVariant(), 50, "2006-10-15"},
            {3, 7, "F", QVariant(), "2007-01-02"}, {4, 3, "M", 100.5, "2006-08-01"},
            {5, 0, "F", 1, "2006-10-15"},          {6, 7, "a,\"b\"", 7, "2006-12-31"},
            {7, 3, "F", 2, "2008-01-01"},          {8, 25, "M", -3.25, "2007-06-30"},
        };
        for (const auto& r : rows)
            test::insertMaster(session->db(), {{"obs", r.obs},
                                               {"SSN", QString::number(100000000 + r.obs)},
                                               {"spopnum", r.group},
                                               {"pop", "1"},
                                               {"Gender", r.gender},
                                               {"fWIAexitdate", r.exit},
                                               {"Earn2QTRAfterExit", r.earn}});
        loadGlobals(*session, SignInMode::ReportOptions);
        buildRecordFilter(*session);
    }

    QStringList cli(const QStringList& args) {
        const test::CliResult r = test::runCli(dir.path(), args);
        EXPECT_EQ(r.rc, 0) << r.err.toStdString();
        return r.out.split('\n', Qt::SkipEmptyParts);
    }
    static QStringList linesOf(GridRowSource& source, QChar separator, bool quote) {
        auto line = [&](const QStringList& cells) {
            QStringList fields;
            for (const QString& c : cells)
                fields << (quote ? QString::fromUtf8(csvField(c)) : c);
            return fields.join(separator);
        };
        QStringList out{line(source.columns())};
        source.forEachRow([&](const QStringList& cells) {
            out << line(cells);
            return true;
        });
        return out;
    }

    QString path;
};

TEST_F(MasterGridSourcesTest, APagerSourceGivesWhatBrowsePrints) {
    const struct {
        std::optional<int> group;
        const char* column;
        bool desc;
        int rows;
    } cases[] = {
        {std::nullopt, "", false, 6},
        {3, "", false, 3},
        {7, "Gender", false, 2},
        {std::nullopt, "Gender", true, 6},
        {std::nullopt, "Earn2QTRAfterExit", false, 6},
        {12, "", false, 0},
    };
    for (const auto& c : cases) {
        QStringList args{"browse", path};
        if (c.group)
            args << "--group" << QString::number(*c.group);
        if (*c.column)
            args << "--order" << c.column;
        if (c.desc)
            args << "--desc";
        SCOPED_TRACE(args.join(' ').toStdString());
        auto pager = std::make_unique<MasterPager>(session->db(), session->recordFilter(), c.group,
                                                   MasterOrder{c.column, c.desc});
        ASSERT_TRUE(pager->open());
        MasterPagerSource source(std::move(pager));
        EXPECT_EQ(source.rowCount(), c.rows);
        const QStringList lines = linesOf(source, ',', true);
        EXPECT_EQ(lines.size(), c.rows + 1);
        EXPECT_EQ(lines, cli(args));
    }
}

TEST_F(MasterGridSourcesTest, TheSummarySourceGivesTheGroupsRows) {
    OutcomeSummarySource source(session->db(), session->recordFilter());
    const QStringList lines = linesOf(source, '\t', false);
    EXPECT_EQ(lines, cli({"groups", path}));
    ASSERT_EQ(lines.size(), 26);
    ASSERT_EQ(source.columns().size(), kSummaryKeyColumn);
    EXPECT_EQ(source.columns()[0], summaryTitle(0));
    // The counts of the records in the period only: group 3 has three, 7 two, 25 one.
    const int counts[] = {3, 7, 25};
    const int expected[] = {3, 2, 1};
    for (int i = 0; i < 3; ++i) {
        const QStringList cells = lines[counts[i]].split('\t');
        EXPECT_EQ(cells[0], QString::number(counts[i]));
        EXPECT_EQ(cells[1], QString::number(expected[i])) << counts[i];
    }
    // A visit that stops ends the rows.
    int seen = 0;
    source.forEachRow([&](const QStringList&) { return ++seen < 4; });
    EXPECT_EQ(seen, 4);
}

} // namespace
