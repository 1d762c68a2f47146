#include "TestSupport.h"

#include "Cli.h"
#include "CliRunner.h"
#include "db/Database.h"
#include "db/SafeFile.h"
#include "exports/ParticipantGroups.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>

using namespace orv;

namespace {

using test::CliResult;

// The export verbs are run in-process through the command table.
class ExportCliTest : public test::DemoCliTest {
protected:
    CliResult run(const QStringList& args) { return cli(args); }
    qint64 count(const char* sql) { return Database(db).scalar(sql).toLongLong(); }
};

// The files' content is the core's (checked there); here what the commands print and where
// they write by default.
TEST_F(ExportCliTest, ExportGroupsAndXmlSayWhatTheyWrote) {
    const QString folder = dir.file("groups");
    CliResult r = run({"export-groups", db, folder});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("Export Done.\n"));
    // One file per group with records in the reporting period.
    Database d(db);
    Statement st = d.prepare("SELECT DISTINCT spopnum FROM tblORVmaster WHERE spopnum > 0 AND "
                             "fWIAexitdate BETWEEN '2006-07-01' AND '2007-06-30' ORDER BY 1");
    QStringList expected;
    while (st.step())
        expected << QDir(folder).filePath(groupFileName(int(st.int64(0))));
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_TRUE(r.out.endsWith(expected.join('\n') + '\n')) << r.out.toStdString();
    // The program folder's "Participants Extract" by default.
    ASSERT_EQ(run({"export-groups", db}).rc, 0);
    EXPECT_TRUE(QFileInfo::exists(
        dir.file(kGroupFolderName + "/" + QFileInfo(expected.first()).fileName())));

    // The summary file computes the rates first; a folder gets the dated name.
    const QString out = dir.file("summary.xml");
    r = run({"export-xml", db, out});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Export has completed.\n" + out));
    EXPECT_TRUE(r.out.contains("Records: 17\n"));
    EXPECT_EQ(count("SELECT count(*) FROM tbltemp"), 17);
    const QString xmlFolder = dir.file("out");
    QDir().mkpath(xmlFolder);
    ASSERT_EQ(run({"export-xml", db, xmlFolder}).rc, 0);
    EXPECT_EQ(QDir(xmlFolder).entryList({"*.xml"}, QDir::Files).size(), 1);
}

TEST_F(ExportCliTest, CountsReplaceTheTableOnlyWhenWhole) {
    const QString file = dir.file("counts.csv");
    test::writeFile(file, "1,Entered Employment,10,20,30,40,50,60,70,80,90\n");
    CliResult r = run({"counts", db, file, "--yes"});
    ASSERT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Done!\n"));
    EXPECT_TRUE(r.out.contains("Rows stored: 9\n"));
    EXPECT_EQ(count("SELECT sum(reportedcount) FROM tblReportedCounts"), 450);

    test::writeFile(file, "1,Short,1,2\n");
    r = run({"counts", db, file, "--yes"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(r.err.contains("Line 1 has 4 fields"));
    EXPECT_TRUE(r.out.contains("Import Failed!"));
    EXPECT_EQ(count("SELECT sum(reportedcount) FROM tblReportedCounts"), 450);
}

// The file's lines are the printed ones: groups' tabs become commas (its texts have none to
// quote), browse's lines are already CSV.
TEST_F(ExportCliTest, ExportGridOfGroupsAndBrowseIsWhatTheyPrint) {
    const struct {
        QStringList grid;
        QStringList print;
        bool tabs;
    } cases[] = {
        {{"groups"}, {"groups", db}, true},
        {{"browse"}, {"browse", db}, false},
        {{"browse", "--group", "1"}, {"browse", db, "--group", "1"}, false},
        {{"browse", "--order", "Gender", "--desc"},
         {"browse", db, "--order", "Gender", "--desc"},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.grid.join(' ').toStdString());
        const QString csv = dir.file("grid.csv");
        const CliResult r =
            run(QStringList{"export-grid", db} + c.grid + QStringList{"--csv", csv});
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
        const CliResult printed = run(c.print);
        ASSERT_EQ(printed.rc, 0) << printed.err.toStdString();
        QString expected = printed.out;
        if (c.tabs) {
            ASSERT_FALSE(expected.contains(',') || expected.contains('"'));
            expected.replace('\t', ',');
        }
        expected.replace("\n", "\r\n");
        EXPECT_EQ(QString::fromUtf8(test::readFile(csv)), expected);
        const qsizetype rows = expected.count("\r\n") - 1;
        EXPECT_GT(rows, 0);
        EXPECT_TRUE(r.out.startsWith(QStringLiteral("Rows: %1\n").arg(rows)))
            << r.out.toStdString();
    }
    const QString xlsx = dir.file("groups.xlsx");
    ASSERT_EQ(run({"export-grid", db, "groups", "--xlsx", xlsx}).rc, 0);
    EXPECT_TRUE(test::readFile(xlsx).startsWith("PK\x03\x04"));
}

TEST_F(ExportCliTest, BadUsage) {
    const struct {
        const char* verb;
        QStringList args;
    } cases[] = {
        {"export-grid", {db, "sample"}},
        {"export-grid", {db, "sample", "--csv", "a.csv", "--xlsx", "a.xlsx"}},
        {"export-grid", {db, "nothing", "--csv", "a.csv"}},
        {"export-grid", {db, "groups", "--group", "3", "--csv", "a.csv"}},
        {"export-grid", {db, "sample", "--order", "SSN", "--csv", "a.csv"}},
        {"export-grid", {db, "browse", "--group", "26", "--csv", "a.csv"}},
        {"export-grid", {db, "browse", "--desc", "--csv", "a.csv"}},
        {"export-grid", {db, "browse", "--order", "nosuch", "--csv", "a.csv"}},
        {"export-grid", {db, "sample", "--csv"}},
        {"export-groups", {}},
        {"export-groups", {db, "a", "b"}},
        {"export-xml", {db, "--force"}},
        {"counts", {db}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        EXPECT_EQ(run(QStringList{c.verb} + c.args).rc, cli::Usage);
    }
}

} // namespace

namespace {

// Every export on a disk that fills up: status 1, the reason on stderr, the earlier files as
// they were and nothing left beside them.
TEST_F(ExportCliTest, AFullDiskKeepsTheEarlierFiles) {
    const QString out = dir.file("out");
    ASSERT_TRUE(QDir().mkpath(out));
    const QString groups = QDir(out).filePath(groupFileName(1));
    const struct {
        QStringList args;
        QString file;
    } cases[] = {
        {{"export-xml", db, QDir(out).filePath("s.xml")}, QDir(out).filePath("s.xml")},
        {{"export-groups", db, out}, groups},
        {{"export-grid", db, "browse", "--csv", QDir(out).filePath("g.csv")},
         QDir(out).filePath("g.csv")},
        {{"export-grid", db, "browse", "--xlsx", QDir(out).filePath("g.xlsx")},
         QDir(out).filePath("g.xlsx")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        test::writeFile(c.file, "earlier");
        files::setWriteFault(
            [&out](const QString& path, bool) { return path.startsWith(out) ? ENOSPC : 0; });
        const CliResult r = run(c.args);
        files::setWriteFault({});
        EXPECT_EQ(r.rc, 1);
        EXPECT_TRUE(r.err.startsWith("The disk is full: " + out)) << r.err.toStdString();
        EXPECT_FALSE(r.out.contains("Export")) << r.out.toStdString();
        EXPECT_EQ(test::readFile(c.file), "earlier");
        EXPECT_EQ(QDir(out).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                  QStringList{QFileInfo(c.file).fileName()});
        QFile::remove(c.file);
    }
}

// A real limit on the size of files, through the program as a user runs it: the spreadsheet
// library's own complaints stay off stderr and the reason is the system's.
TEST_F(ExportCliTest, AWorkbookCutShortIsNotWritten) {
    const QString program = QStringLiteral(ORV_PROGRAM_DIR "/orvdv-cli");
    if (!QFileInfo::exists(program))
        GTEST_SKIP() << "orvdv-cli is not built";
    const QString xlsx = dir.file("g.xlsx");
    test::writeFile(xlsx, "earlier");
    QProcess p;
    p.setChildProcessModifier([] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 40 * 1024;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    p.start(program, {"--home", dir.path(), "export-grid", db, "browse", "--xlsx", xlsx});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(QString::fromLocal8Bit(p.readAllStandardError()),
              xlsx + " was not written (File too large); the previous file is unchanged.\n");
    EXPECT_EQ(test::readFile(xlsx), "earlier");
}

// A file of no records would pass for a submission of nothing.
using EmptySampleCliTest = test::CliFixture;

TEST_F(EmptySampleCliTest, ExportXmlWritesNothing) {
    ASSERT_EQ(cli({"signin", db, "--fiscal-year", "2008"}).rc, 0);
    const CliResult r = cli({"export-xml", db, dir.file("s.xml")});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, "There is no sample to export.\n");
    EXPECT_FALSE(QFileInfo::exists(dir.file("s.xml")));
}

} // namespace
