#include "TestSupport.h"

#include "CliRunner.h"
#include "db/Database.h"

#include <gtest/gtest.h>

using namespace orv;

namespace {

using test::CliResult;

// The demo database, with two sampled records to work on.
class WorksheetCliTest : public test::DemoCliTest {
protected:
    void SetUp() override {
        DemoCliTest::SetUp();
        if (HasFatalFailure())
            return;
        Database d(db);
        Statement st = d.prepare("SELECT obs, ssn FROM tblsample ORDER BY obs LIMIT 2");
        ASSERT_TRUE(st.step());
        obs = st.text(0);
        ssn = st.text(1);
        ASSERT_TRUE(st.step());
        obs2 = st.text(0);
        ssn2 = st.text(1);
    }
    QStringList sampleLine(const CliResult& r, const QString& obsText) {
        for (const QString& line : r.out.split('\n')) {
            const QStringList cells = line.split('\t');
            if (cells.size() > 1 && cells[0] == obsText)
                return cells;
        }
        return {};
    }

    QString obs, ssn, obs2, ssn2;
};

TEST_F(WorksheetCliTest, MarksFlagsCommentsThenListAndRates) {
    CliResult r = cli({"worksheet", db, "--obs", obs, "--ssn", ssn, "--pass", "1,2,3", "--fail",
                       "4", "--comments", "Checked against the file; O'Brien's note"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("VetP/F: P\n"));
    EXPECT_TRUE(r.out.contains("PetitionP/F: F\n"));
    EXPECT_TRUE(r.out.contains("Comments: Checked against the file; O'Brien's note\n"));
    EXPECT_TRUE(r.out.contains("chk: No\n"));

    // Clearing one and saving again without comments keeps the comment.
    r = cli({"worksheet", db, "--obs", obs, "--ssn", ssn, "--clear", "2"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("DislocDateP/F: \n"));
    EXPECT_TRUE(r.out.contains("Comments: Checked against the file; O'Brien's note\n"));

    // Unable to Locate deletes the marks only when confirmed.
    r = cli({"worksheet", db, "--obs", obs, "--ssn", ssn, "--unable-to-locate", "on"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(r.err.contains("Nothing was saved"));
    r = cli({"worksheet", db, "--obs", obs2, "--ssn", ssn2, "--wrong-ssn", "on"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    r = cli({"worksheet", db, "--obs", obs2, "--ssn", ssn2, "--unable-to-locate", "on", "--yes"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("UnableToLocate: 1\n"));
    EXPECT_TRUE(r.out.contains("WrongSSN: 0\n"));
    EXPECT_TRUE(r.out.contains("chk: Yes\n"));

    // The list, its totals and the rates are the screens' (checked where both are run); here
    // their form.
    r = cli({"sample", db});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    const QStringList first = sampleLine(r, obs);
    ASSERT_EQ(first.size(), 3 + 2 * 17 + 1);
    // Each mark beside its value.
    EXPECT_EQ(QStringList({first[4], first[6], first[8], first[10]}),
              QStringList({"P", "", "P", "F"}));
    EXPECT_EQ(sampleLine(r, obs2).last(), "Yes");
    EXPECT_TRUE(r.out.contains("Total inspected: 1\n"));
    EXPECT_TRUE(r.out.contains("Failed Petition: 1\n"));
    EXPECT_TRUE(r.out.contains("Failed TrainComp: \n"));

    // Sorted by the mark, failures first when descending.
    r = cli({"sample", db, "--order", "PetitionP/F", "--desc"});
    ASSERT_EQ(r.rc, 0);
    EXPECT_TRUE(r.out.section('\n', 1, 1).startsWith(obs + '\t'));

    r = cli({"error-rates", db});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 18);
    EXPECT_TRUE(lines[0].startsWith("rptcell\tsubpops\tctype\tcfield\tcval\tcweight\tpct\tRef"));
    EXPECT_TRUE(lines[4].startsWith("Petition\t06/30/2007\t")) << lines[4].toStdString();
    EXPECT_EQ(Database(db).scalar("SELECT count(*) FROM tbltemp").toInt(), 17);
}

TEST_F(WorksheetCliTest, WrongSsnAfterMissingRecordCompletesNothing) {
    CliResult r = cli({"worksheet", db, "--obs", obs, "--ssn", ssn, "--missing-record", "on",
                       "--yes", "--comments", "no file"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("chk: Yes\n"));
    r = cli({"worksheet", db, "--obs", obs, "--ssn", ssn, "--wrong-ssn", "on", "--pass", "1"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("MissingRecord: 0\n"));
    EXPECT_TRUE(r.out.contains("WrongSSN: 1\n"));
    EXPECT_TRUE(r.out.contains("VetP/F: P\n"));
    EXPECT_TRUE(r.out.contains("chk: No\n"));
    r = cli({"sample", db});
    EXPECT_TRUE(r.out.contains("Total inspected: 0\n"));

    // The comment goes only on purpose.
    r = cli({"worksheet", db, "--obs", obs, "--ssn", ssn, "--clear-comments"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Comments: \n"));
    Database d(db);
    EXPECT_EQ(d.scalar("SELECT Comments FROM tblsample WHERE obs = ?", {obs}), QVariant());
}

// Every save is in the history under "batch", one line an item; a database made before the
// history gets its tables only with --yes.
TEST_F(WorksheetCliTest, HistoryOfTheSaves) {
    for (const QStringList& args :
         {QStringList{"--obs", obs, "--ssn", ssn, "--fail", "1", "--comments", "a\tb"},
          QStringList{"--obs", obs2, "--ssn", ssn2, "--wrong-ssn", "on"},
          QStringList{"--obs", obs, "--ssn", ssn, "--pass", "1"}})
        ASSERT_EQ(cli(QStringList{"worksheet", db} + args).rc, 0);
    const QString header = "ChangedAt\tOsUser\tHost\tSource\tobs\tssn\tItem\tOldValue\tNewValue";
    const struct {
        QStringList args;
        QStringList lines; // from obs on
    } cases[] = {
        {{"history", db},
         {obs + '\t' + ssn + "\tVetP/F\t\tF", obs + '\t' + ssn + "\tComments\t\ta\\tb",
          obs2 + '\t' + ssn2 + "\tWrongSSN\t0\t1", obs + '\t' + ssn + "\tVetP/F\tF\tP"}},
        {{"history", db, "--obs", obs2}, {obs2 + '\t' + ssn2 + "\tWrongSSN\t0\t1"}},
    };
    for (const auto& c : cases) {
        const CliResult r = cli(c.args);
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
        QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), c.lines.size() + 1) << r.out.toStdString();
        EXPECT_EQ(lines.takeFirst(), header);
        for (int i = 0; i < lines.size(); ++i) {
            const QStringList cells = lines[i].split('\t');
            ASSERT_EQ(cells.size(), 9);
            EXPECT_EQ(cells[3], "batch");
            EXPECT_EQ(cells.mid(4).join('\t'), c.lines[i]);
        }
    }

    {
        Database d(db);
        d.exec("DROP TABLE tblHistory; DROP TABLE tblPackMerges; PRAGMA user_version = 1");
    }
    CliResult r = cli({"history", db});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(r.err.contains("Give --yes to add the tables")) << r.err.toStdString();
    r = cli({"history", db, "--yes"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, header + "\n");
    EXPECT_EQ(Database(db).scalar("PRAGMA user_version").toInt(), 2);
}

TEST_F(WorksheetCliTest, SummaryComments) {
    CliResult r = cli({"comments", db});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "");
    const QString text = QStringLiteral("All 'checked';\nsecond line");
    r = cli({"comments", db, "--set", text});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, text + "\n");
    EXPECT_EQ(cli({"comments", db}).out, text + "\n");
    r = cli({"comments", db, "--clear"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "");
    Database d(db);
    EXPECT_EQ(d.scalar("SELECT Comments FROM tblValSummaryNotes WHERE ID = '1'"), QVariant());
}

TEST_F(WorksheetCliTest, RefusesWhatTheScreenWouldNotDo) {
    struct Case {
        QStringList args; // after "worksheet DB --obs OBS --ssn SSN" unless they name a command
        int rc;
        const char* err;
    };
    const Case cases[] = {
        {{"worksheet", db, "--obs", obs}, 2, "usage"},
        {{"--pass", "18"}, 2, "\"18\" is not an element"},
        {{"--pass", "0"}, 2, "\"0\" is not an element"},
        {{"--clear", "-1"}, 2, "\"-1\" is not an element"},
        {{"--fail", "1,x"}, 2, "\"x\" is not an element"},
        {{"--fail", "1,"}, 2, "--fail \"1,\": an element number is missing"},
        {{"--pass", "1,2", "--fail", "3,2"}, 2, "Element 2 is in both --pass and --fail"},
        {{"--fail", "5", "--clear", "5"}, 2, "Element 5 is in both --fail and --clear"},
        {{"--invalid-record", "on", "--missing-record", "on", "--yes"},
         2,
         "--invalid-record on and --missing-record on: a record takes one"},
        {{"--wrong-ssn", "on", "--unable-to-locate", "on", "--yes"},
         2,
         "--wrong-ssn on and --unable-to-locate on"},
        {{"--comments", ""}, 2, "--clear-comments empties it"},
        {{"--comments", "x", "--clear-comments"}, 2, "contradict"},
        {{"comments", db, "--set", "x", "--clear"}, 2, "contradict"},
        {{"--wrong-ssn", "yes"}, 2, "usage"},
        {{"worksheet", db, "--obs", "99999", "--ssn", ssn}, 1, "No sampled record"},
        {{"--missing-record", "on", "--yes", "--pass", "1"}, 1, "cannot be marked"},
        {{"sample", db, "--desc"}, 2, "usage"},
        {{"sample", db, "--order", "Pass/Fail"}, 2, "No list column"},
        {{"error-rates"}, 2, "usage"},
    };
    for (const Case& c : cases) {
        const QStringList args =
            c.args[0].startsWith("--")
                ? QStringList{"worksheet", db, "--obs", obs, "--ssn", ssn} + c.args
                : c.args;
        const CliResult r = cli(args);
        EXPECT_EQ(r.rc, c.rc) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.err))) << r.err.toStdString();
    }
    Database d(db);
    EXPECT_EQ(d.scalar("SELECT count(*) FROM tblsample WHERE chk IS NOT NULL").toInt(), 0);

    // Two sampled rows with one OBS and SSN: the worksheet needs to know which.
    d.exec("INSERT INTO tblsample (obs, ssn, randno, Weight, Vet) SELECT obs, ssn, randno, "
           "Weight, Vet "
           "FROM tblsample WHERE rowid = (SELECT min(rowid) FROM tblsample)");
    const qlonglong id = d.lastInsertRowId();
    const QString o = d.scalar("SELECT obs FROM tblsample WHERE rowid = ?", {id}).toString();
    const QString s = d.scalar("SELECT ssn FROM tblsample WHERE rowid = ?", {id}).toString();
    CliResult r = cli({"worksheet", db, "--obs", o, "--ssn", s, "--fail", "1"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(r.err.contains("name one with --row")) << r.err.toStdString();
    r = cli({"worksheet", db, "--obs", o, "--ssn", s, "--row", QString::number(id), "--fail", "1"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(d.scalar("SELECT count(*) FROM tblsample WHERE \"VetP/F\" = 1").toInt(), 1);
    EXPECT_EQ(d.scalar("SELECT \"VetP/F\" FROM tblsample WHERE rowid = ?", {id}).toInt(), 1);
}

} // namespace
