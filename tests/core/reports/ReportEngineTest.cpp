#include "../worksheet/WorksheetFixture.h"

#include "reports/ReportEngine.h"
#include "reports/ReportSources.h"
#include "validation/ReportValidation.h"
#include "worksheet/ErrorRates.h"

namespace orv::test {
namespace {

class ReportEngineTest : public WorksheetTest {
protected:
    void define(const QString& id, const QString& text) {
        writeFile(dir.file(id + QStringLiteral(".rpt")), text.toUtf8());
    }
    // Head, table head, every block after a "|", tail.
    QString render(const QString& id, const QString& obs = {}, const ReportLimits& limits = {}) {
        ReportRun run(*session, id, obs, limits);
        QString html = run.headHtml() + run.tableHeadHtml();
        QString block;
        while (run.nextBlock(block))
            html += QLatin1Char('|') + block;
        return html + run.tailHtml();
    }
    QString failure(const QString& id, const QString& obs = {}, const ReportLimits& limits = {}) {
        try {
            render(id, obs, limits);
        } catch (const ReportError& e) {
            return e.message();
        }
        return QStringLiteral("(no error)");
    }
};

TEST_F(ReportEngineTest, AFaultyDefinitionIsToldWithItsPlace) {
    const struct {
        const char* text;
        const char* told;
    } cases[] = {
        {"", "T.rpt, line 1: the section [report] is missing."},
        {"hello\n[report]\ntitle = X\n", "T.rpt, line 1: text before the first section."},
        {"[report]\ntitle = X\n[foo]\n", "T.rpt, line 3: unknown section [foo]."},
        {"[report]\ntitle = X\ncolour = red\n",
         "T.rpt, line 3: unknown report setting \"colour\"."},
        {"[report]\ntitle = X\nfiltered = maybe\n", "T.rpt, line 3: filtered must be yes or no."},
        {"[report]\ntitle = X\nbody = rows\n", "line 3: the body query \"rows\" is not defined."},
        {"[report]\n[query q]\nSELECT 1\n", "T.rpt, line 1: the report has no title."},
        {"[report]\ntitle = X\n[query q]\n\n", "line 3: the query \"q\" is empty."},
        {"[report]\ntitle = X\n[query]\nSELECT 1\n", "line 3: the section [query] needs a name."},
        {"[report]\ntitle = X\n\n[head]\n<p>{{#rows}}</p>\n", "T.rpt, [head] (line 4): "},
        {"[report]\ntitle = X\n[query q]\nSELECT nope FROM nowhere\n",
         "T.rpt, query q (line 3): no such table: nowhere"},
        {"[report]\ntitle = X\n[query q]\nSELECT :colour\n",
         "T.rpt, query q (line 3): unknown parameter \":colour\"."},
        {"[report]\ntitle = X\nbody = q\ngroup = nope\n[query q]\nSELECT 1 AS a\n[block]\n",
         "query q (line 5): the group column \"nope\" is not among its columns."},
    };
    for (const auto& c : cases) {
        define(QStringLiteral("T"), QString::fromUtf8(c.text));
        EXPECT_TRUE(failure(QStringLiteral("T")).contains(QString::fromUtf8(c.told)))
            << c.text << "\n -> " << failure(QStringLiteral("T")).toStdString();
    }
    EXPECT_TRUE(failure(QStringLiteral("R009-9")).contains("R009-9.rpt cannot be opened"));
    // Only a report whose rows can be chosen by OBS can be shown for one record.
    EXPECT_TRUE(failure(QStringLiteral("R003-1"), QStringLiteral("5"))
                    .contains("cannot be shown for one record"));
}

// Definitions are files an agency edits: one that would write, or would run without end, is
// stopped with its place before anything in the database changes.
TEST_F(ReportEngineTest, ADefinitionThatWritesOrRunsAwayIsStopped) {
    addSample(11);
    addSample(12);
    ReportLimits small;
    small.rows = 100;
    small.heldBytes = 1 << 20;
    small.outputBytes = 64 << 10;
    small.nesting = 4;
    ReportLimits noTime = small;
    noTime.queryTime = std::chrono::milliseconds(0);
    const ReportLimits shipped;
    const QString endless = QStringLiteral(
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT x FROM c\n");
    const QString fifty = QStringLiteral("[query q]\nWITH RECURSIVE c(x) AS (SELECT 1 UNION ALL "
                                         "SELECT x + 1 FROM c WHERE x < 50) SELECT x FROM c\n");
    const QString written = QStringLiteral(": a report may only read the database; this "
                                           "statement would change it and was not run.");
    // 100,000 nested sections, as a mistaken editor of the head once made.
    const QString deep =
        QStringLiteral("{{#q}}").repeated(100000) + QStringLiteral("{{/q}}").repeated(100000);
    const struct {
        QString text;
        ReportLimits limits;
        QString told;
    } cases[] = {
        {"[query q]\nDELETE FROM tblsample RETURNING obs\n", small,
         "T.rpt, query q (line 3)" + written},
        {"body = q\n[query q]\nDELETE FROM tblsample RETURNING obs\n[block]\n{{obs}}\n", small,
         "T.rpt, query q (line 4)" + written},
        {"[query q]\nDROP TABLE tblORVmaster\n", small, "query q (line 3)" + written},
        {"[query q]\nUPDATE tblsample SET chk = 'Yes' RETURNING obs\n", small, written},
        {"[query q]\nINSERT INTO tblsample (obs) SELECT 1 RETURNING obs\n", small, written},
        {"[query q]\nWITH d AS (SELECT 1) DELETE FROM tblORVmaster\n", small, written},
        {"[query q]\nATTACH DATABASE 'other.db' AS other\n", small, written},
        {"[query q]\nPRAGMA user_version = 7\n", small, written},
        {"[query q]\nCREATE TEMP TABLE t AS SELECT 1\n", small, written},
        {"[query q]\nBEGIN IMMEDIATE\n", small, written},
        {"[query q]\n" + endless, small,
         "T.rpt, query q (line 3): it returns more than 100 rows, the most a report query may."},
        {"body = q\n[query q]\n" + endless + "[block]\n{{x}}\n", small,
         "T.rpt, query q (line 4): it returns more than 100 rows"},
        {"[query q]\nWITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
         "SELECT count(*) FROM c\n",
         noTime,
         "T.rpt, query q (line 3): it ran longer than 0 seconds, the most a report query may."},
        {"[query q]\nWITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 50) "
         "SELECT printf('%.*c', 100000, 'x') AS big FROM c\n",
         small, "T.rpt, query q (line 3): its rows take more than 1 MB, the most a report holds"},
        {fifty + "[head]\n{{#q}}{{#q}}{{#q}}0123456789{{/q}}{{/q}}{{/q}}\n", small,
         "T.rpt, [head] (line 5): its text grows past 0.0625 MB, the most one template may "
         "produce."},
        {fifty + "[block]\nnone\n[footer]\n{{#q}}{{#q}}{{=<% %>=}}<%#q%><%#q%><%#q%><%/q%><%/q%>"
                 "<%/q%><%={{ }}=%>{{/q}}{{/q}}\n",
         small, "T.rpt, [footer] (line 7): its sections nest more than 4 deep"},
        {fifty + "[head]\n" + deep + "\n", shipped,
         "T.rpt, [head] (line 5): its sections nest more than 16 deep, the most a template may."},
    };
    render(QStringLiteral("R006-1")); // the report sources made, as in any session
    auto state = [&] {
        return QStringList{db().scalar("SELECT group_concat(obs || chk) FROM tblsample").toString(),
                           db().scalar("SELECT count(*) FROM tblORVmaster").toString(),
                           db().scalar("SELECT group_concat(name) FROM sqlite_master").toString(),
                           db().scalar("PRAGMA user_version").toString(),
                           db().scalar("SELECT count(*) FROM pragma_database_list").toString()}
            .join(QLatin1Char('/'))
            .toStdString();
    };
    const std::string before = state();
    for (const auto& c : cases) {
        define(QStringLiteral("T"), QStringLiteral("[report]\ntitle = T\n") + c.text);
        const QString told = failure(QStringLiteral("T"), {}, c.limits);
        EXPECT_TRUE(told.contains(c.told))
            << c.text.left(200).toStdString() << "\n -> " << told.toStdString();
        EXPECT_EQ(state(), before) << c.text.left(200).toStdString();
        EXPECT_FALSE(db().tableExists(QStringLiteral("t")));
    }
    EXPECT_FALSE(QFile::exists(dir.file("other.db")));
    // The connection is left as it was: the program writes on it again.
    EXPECT_EQ(db().execute("UPDATE tblsample SET chk = 'Yes' WHERE obs = 11"), 1);
}

TEST_F(ReportEngineTest, FooterAndCommentsFormulas) {
    const struct {
        const char* in;
        const char* footer;
        const char* comments;
    } cases[] = {
        {"tblORVMaster.OfficeName = 'O'Hare' ", " OfficeName = OHare ",
         "tblORVMaster.OfficeName = 'O'Hare'"},
        {"tblOrvMaster.WibName = 'W' tblORVMaster.CaseMgr = 'C' ", " WibName = W CaseMgr = C ",
         "tblOrvMaster.WibName = 'W' tblORVMaster.CaseMgr = 'C'"},
        {"first line\r\nsecond line", " first line\r\nsecond line", "first line second line"},
        {"  a\nb\rc  ", "   a\nb\rc  ", "a b c"},
        {"", " ", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reportFooterText(QString::fromUtf8(c.in)).toStdString(), c.footer) << c.in;
        EXPECT_EQ(reportCommentsText(QString::fromUtf8(c.in)).toStdString(), c.comments) << c.in;
    }
}

// Parameters are bound, the filter and the OBS restrict the body, groups gather their rows,
// and the footer carries both formulas.
TEST_F(ReportEngineTest, QueriesTemplatesGroupsAndRestrictions) {
    define(QStringLiteral("T"), QStringLiteral(R"([report]
title = Test & Co
body = recs
group = SamplingUnit

[query recs]
SELECT obs, SamplingUnit FROM tblORVmaster
WHERE {filter} AND (:obs IS NULL OR obs = :obs)
ORDER BY SamplingUnit, obs

[query one]
SELECT :state AS st, :pop_type AS pt

[head]
<h1>{{title}}</h1>{{#one}}{{st}}/{{pt}}{{/one}}
[block]
U{{SamplingUnit}}:{{#rows}}{{obs}},{{/rows}}
[footer]
{{RptFooter}}|{{Comments}}|{{page}})"));
    Settings settings = session->settings();
    settings.state = QStringLiteral("NY");
    session->useSettings(settings);
    RecordFilter f = session->recordFilter();
    f.officeName = QStringLiteral("O'Hare");
    f.periodStart = QDate(2006, 7, 1);
    f.periodEnd = QDate(2007, 6, 30);
    session->useRecordFilter(f);
    const struct {
        int obs, unit;
        const char *office, *exit;
    } records[] = {{1, 5, "O'Hare", "2006-08-01"},
                   {2, 5, "O'Hare", "2007-06-30"},
                   {3, 6, "O'Hare", "2006-07-01"},
                   {4, 6, "O'Hare", "2007-07-01"},
                   {5, 6, "Other", "2006-09-09"}};
    for (const auto& r : records)
        insertMaster(db(), {{"obs", r.obs},
                            {"SamplingUnit", r.unit},
                            {"OfficeName", r.office},
                            {"fWIAexitdate", r.exit}});
    db().exec("UPDATE tblValSummaryNotes SET Comments = 'multi'||char(13,10)||'line ' ");

    EXPECT_EQ(render(QStringLiteral("T")).toStdString(),
              "<h1>Test &amp; Co</h1>NY/1|U5:1,2,|U6:3,");
    EXPECT_EQ(render(QStringLiteral("T"), QStringLiteral("2")).toStdString(),
              "<h1>Test &amp; Co</h1>NY/1|U5:2,");
    ReportRun run(*session, QStringLiteral("T"));
    EXPECT_EQ(run.footerHtml(3).toStdString(), " OfficeName = OHare |multi line|3");
}

TEST_F(ReportEngineTest, RecordLayoutComesFromTheImportsRules) {
    prepareReportSources(db());
    const struct {
        int pos;
        const char *blank, *allowed, *checked;
    } cases[] = {
        {2, "No", "a state abbreviation", "Yes"},
        {5, "Yes", "0 to 2", "Yes"},
        {13, "No", "1 to 4", "Yes"},
        {18, "No", "0 to 17 or 87 to 91", "Yes"},
        {44, "Yes", "0 to 5 or 98 to 99", "Yes"},
        {47, "Yes", "digits only", "Yes"},
        {43, "No", "a valid date, yyyymmdd", "Yes"},
        {60, "Yes", "", "No"},
    };
    EXPECT_EQ(count("SELECT count(*) FROM rptRecordLayout"), 64);
    for (const auto& c : cases) {
        Statement st =
            db().prepare("SELECT required, allowed, checked FROM rptRecordLayout WHERE pos = ?");
        st.bind(1, c.pos);
        ASSERT_TRUE(st.step());
        EXPECT_EQ(st.text(0), c.blank) << c.pos;
        EXPECT_EQ(st.text(1), c.allowed) << c.pos;
        EXPECT_EQ(st.text(2), c.checked) << c.pos;
    }
    EXPECT_EQ(count("SELECT count(*) FROM rptCountsLayout"), 11);
}

// The definitions the program ships, on a small sample: each renders, shows its figures, and
// the worksheets can be restricted to one record.
TEST_F(ReportEngineTest, ShippedDefinitionsRender) {
    addSample(11, marksColumns("FP"));
    addSample(12, {{"WrongSSN", 1}, {"Comments", "Seen <twice>"}});
    addSample(13, {{"SamplingUnit", 999999}});
    db().exec("INSERT INTO tblsupport (sType, SamplingUnit, totrec, weight) VALUES "
              "('U', 999999, 1, 1), ('V', 7, 2, 2)");
    db().exec("INSERT INTO tblvalidation (rptcell, description, value, seq, rtype) VALUES "
              "('1', 'EER Numerator', 1234, 1, 'p'), ('3', 'EE Rate', 88.125, 3, 'p')");
    ComputeErrorRates(*session);
    const QString r3none = render(QStringLiteral("R003-1"));
    EXPECT_EQ(r3none.count(QLatin1Char('|')), 1);
    EXPECT_TRUE(r3none.contains("<b>No reported counts have been imported"))
        << r3none.toStdString();

    // Two lines of a counts file, each cell beside its own block of measures.
    db().exec("INSERT INTO tblReportedCounts (rptcell, Description, seq, reportedcount) VALUES "
              "('B', 'Older workers', 1, 1200), ('B', 'Older workers', 3, 90), "
              "('A', 'O''Brien cell', 1, 1000), ('A', 'O''Brien cell', 3, 0)");
    const QStringList r3 = render(QStringLiteral("R003-1")).split(QLatin1Char('|'));
    ASSERT_EQ(r3.size(), 3);
    const struct {
        const char* cell;
        const char* eer;
        const char* rate;
    } cells[] = {
        {"<b>Reported cell A: O&apos;Brien cell</b>",
         "<td align=\"right\">1,234</td>\n<td align=\"right\">1,000</td><td "
         "align=\"right\">234.00</td><td align=\"right\">23.40</td>",
         "<td align=\"right\">88.13</td>\n<td align=\"right\">0.00</td><td "
         "align=\"right\">88.13</td><td align=\"right\">n/a</td>"},
        {"<b>Reported cell B: Older workers</b>",
         "<td align=\"right\">1,234</td>\n<td align=\"right\">1,200</td><td "
         "align=\"right\">34.00</td><td align=\"right\">2.83</td>",
         "<td align=\"right\">88.13</td>\n<td align=\"right\">90.00</td><td "
         "align=\"right\">-1.88</td><td align=\"right\">-2.08</td>"},
    };
    for (int i = 0; i < 2; ++i) {
        const QString& block = r3[i + 1];
        EXPECT_TRUE(block.contains(cells[i].cell)) << block.toStdString();
        EXPECT_TRUE(block.contains(cells[i].eer)) << block.toStdString();
        EXPECT_TRUE(block.contains(cells[i].rate)) << block.toStdString();
    }

    // The certainty unit's code shows empty, as on the worksheet.
    EXPECT_TRUE(
        render(QStringLiteral("R005-1"), QStringLiteral("13")).contains("Sampling unit </td>"));
    const QString r6 = render(QStringLiteral("R006-1"));
    EXPECT_TRUE(r6.contains("<tr><td align=\"right\"></td><td>Certainty</td>")) << r6.toStdString();
    EXPECT_TRUE(r6.contains("<tr><td align=\"right\">7</td><td>Drawn</td>"));
    EXPECT_FALSE(r6.contains("999999"));

    const QString r4 = render(QStringLiteral("R004-1"));
    EXPECT_TRUE(r4.contains("<img src=\"chart:rates\""));
    EXPECT_EQ(
        ReportRun(*session, QStringLiteral("R004-1")).chart(QStringLiteral("rates")).values.size(),
        kElementCount);

    const QString all = render(QStringLiteral("R005-1"));
    EXPECT_EQ(all.count(QLatin1Char('|')), 3);
    const QString one = render(QStringLiteral("R005-1"), QStringLiteral("12"));
    EXPECT_EQ(one.count(QLatin1Char('|')), 1);
    EXPECT_TRUE(one.contains("<b>OBS 12</b>"));
    EXPECT_TRUE(one.contains("Wrong SSN: <b>Yes</b>"));
    EXPECT_TRUE(one.contains("Comments: Seen &lt;twice&gt;"));
    // Under the marks, the record's last change; nothing for a record without one.
    EXPECT_FALSE(one.contains("Last change"));
    db().exec("INSERT INTO tblHistory (ChangedAt, OsUser, Host, Source, obs, ssn, Item) VALUES "
              "('2026-12-07T09:00:00Z', 'ann', 'h0', 'batch', 12, '100000012', 'VetP/F'), "
              "('2026-12-08T10:15:42Z', 'jdoe', 'host1', 'screen', 12, '100000012', 'WrongSSN'), "
              "('2026-12-09T10:15:42Z', 'kim', NULL, 'screen', 12, '999', 'WrongSSN')");
    EXPECT_TRUE(render(QStringLiteral("R005-1"), QStringLiteral("12"))
                    .contains("Last change: 2026-12-08 10:15 UTC by jdoe on host1 (screen)"));
    EXPECT_FALSE(render(QStringLiteral("R005-1"), QStringLiteral("11")).contains("Last change"));
    EXPECT_EQ(render(QStringLiteral("R005-1"), QStringLiteral("11"))
                  .count("<td align=\"center\">Fail</td>"),
              1);

    for (const char* id : {"R001-1", "R001-2", "R002-1", "R006-1"})
        EXPECT_NO_THROW(render(QString::fromLatin1(id))) << id;
    EXPECT_EQ(render(QStringLiteral("R001-1")).count(QLatin1Char('|')), 64);

    // Only figures computed under the record filter are printed beside it.
    RecordFilter filter = session->recordFilter();
    filter.officeName = QStringLiteral("Office 18");
    session->useRecordFilter(filter);
    for (const char* id : {"R001-1", "R001-2", "R002-1", "R003-1", "R004-1", "R005-1", "R006-1"}) {
        ReportRun run(*session, QString::fromLatin1(id));
        const QString footer = run.footerHtml(1);
        EXPECT_EQ(footer.contains("Filters: OfficeName = Office 18"),
                  QLatin1String(id) == QLatin1String("R003-1"))
            << id << ": " << footer.toStdString();
        EXPECT_EQ(run.definition().filtered, QLatin1String(id) == QLatin1String("R003-1")) << id;
    }
}

} // namespace
} // namespace orv::test
