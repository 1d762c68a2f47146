#include "ExtractLines.h"
#include "ImportFixture.h"

#include "import/ImportDriver.h"
#include "import/PostImport.h"
#include "session/DatabaseFiles.h"
#include "session/Session.h"
#include "session/SignIn.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <functional>
#include <map>
#include <random>

using namespace orv;

namespace {

using test::line;
using test::validRecord;
using ImportDriverTest = test::ImportFixture;
using test::kReload;
using test::RecordingView;
using Record = std::map<int, QString>;

} // namespace

TEST_F(ImportDriverTest, CompletedImportWritesReportMasterGroupsAndSample) {
    auto bad = validRecord(17);
    bad[5] = "3"; // Gender
    bad[9] = "2"; // Asian
    auto warned = validRecord(18);
    warned[55] = "60000";
    QByteArray file = line(validRecord(1)) + line(bad) + line(warned);
    for (int i = 2; i <= 12; ++i)
        file += line(validRecord(100 + i));
    session->db().exec("INSERT INTO tblHistory (ChangedAt, Source, obs, Item) "
                       "VALUES ('2026-12-08T10:15:00Z', 'screen', 1, 'VetP/F')");
    const ImportResult r = runImport(file);

    EXPECT_EQ(r.outcome, ImportOutcome::Completed);
    EXPECT_EQ(r.records, 14);
    EXPECT_EQ(r.inserted, 13);
    EXPECT_EQ(r.errorCount, 3);
    const QStringList lines = reportLines();
    ASSERT_GE(lines.size(), 8);
    EXPECT_TRUE(lines[0].startsWith("errors in file: " + extract + " on "))
        << lines[0].toStdString();
    EXPECT_EQ(lines.mid(1, 6),
              QStringList({"", "", "", "Error with OBS code - 17. Gender must be 0,1,2 or blank.",
                           "Error with OBS code - 17. Asian must be 0,1 or blank.",
                           "Error with OBS code - 18.  field 55b -  WARNING! Wages 1st Quarter "
                           "After Exit Quarter cannot be > 50000."}));
    EXPECT_EQ(view.labels[1], "Import Complete.");
    EXPECT_EQ(view.labels[2], "Number of Records Imported: 13\nNumber of Errors/Warnings: 3");
    EXPECT_EQ(view.labels[3],
              "There were errors/warnings in the import File.\nPlease review file " +
                  errorReportPath(*session) + ".");

    EXPECT_EQ(count("select count(*) from tblORVmaster"), 13);
    EXPECT_EQ(count("select count(distinct randno) from tblORVmaster where spopnum = 1 and "
                    "subpop = '1.1' and pop = '1' and Weight = 2 and randno between 1 and "
                    "99999999 and fWIAexitdate = '2006-10-15' and fWIARegDate is null"),
              13);
    EXPECT_EQ(count("select count(*) from tblORVmaster where SSN = '100000001'"), 1);
    EXPECT_GT(count("select count(*) from tblsample"), 0);
    EXPECT_EQ(count("select count(*) from tblsample s join tblORVmaster m on m.randno = s.randno"),
              count("select count(*) from tblsample"));
    EXPECT_EQ(count("select count(*) from tblsupport where sType = 'S'"), 1);
    EXPECT_EQ(session->db().scalar("select State from tblsystem").toString(), "NY");
    EXPECT_EQ(ui.filterState, "Filter (OFF)");
    ASSERT_EQ(count("select count(*) from tblORVmaster where obs = 1"), 1);
    EXPECT_EQ(count("select count(*) from tblHistory"), 1) << "the history outlives the sample";
}

TEST_F(ImportDriverTest, AnsweringNoChangesNothing) {
    ASSERT_EQ(runImport(line(validRecord(1)) + line(validRecord(2))).outcome,
              ImportOutcome::Completed);
    test::writeFile(errorReportPath(*session), "old report");
    ui.answer(kReload, false);
    const ImportResult r = runImport(line(validRecord(5)));
    EXPECT_EQ(r.outcome, ImportOutcome::Declined);
    EXPECT_EQ(count("select count(*) from tblORVmaster"), 2);
    EXPECT_EQ(test::readFile(errorReportPath(*session)), "old report");
    EXPECT_EQ(view.labels[1], "");
    EXPECT_EQ(view.labels[2],
              "Record import cancelled at user's request. No records were imported");
}

TEST_F(ImportDriverTest, CleanRunLeavesNoReport) {
    test::writeFile(errorReportPath(*session), "old report");
    const ImportResult r = runImport(line(validRecord(1)));
    EXPECT_EQ(r.outcome, ImportOutcome::Completed);
    EXPECT_FALSE(QFile::exists(errorReportPath(*session)));
    EXPECT_FALSE(r.reportWritten);
}

TEST_F(ImportDriverTest, DuplicatesAreReportedAndExcluded) {
    auto copy = validRecord(2);
    copy[3] = validRecord(1)[3];
    const ImportResult r = runImport(line(validRecord(1)) + line(copy) + line(validRecord(3)));
    EXPECT_EQ(r.outcome, ImportOutcome::Completed);
    EXPECT_EQ(r.errorCount, 2);
    EXPECT_EQ(r.importedCount, 1);
    EXPECT_EQ(reportLines()[4],
              "2  duplicates exist. Please see the duplicates report for detail.");
    EXPECT_EQ(count("select count(*) from tblORVmaster where spopnum = 0 and subpop = ''"), 2);
}

TEST_F(ImportDriverTest, BlankObsUsesTheLinesFirstField) {
    auto r = validRecord(1);
    r[1] = "";
    ASSERT_EQ(runImport(line(r)).outcome, ImportOutcome::Completed);
    EXPECT_EQ(reportLines()[4], "Error with OBS code - . Obs cannot be Blank");
}

// However an import ends short of complete, at any line or after the load, the database is
// exactly as it was; the error report says why.
TEST_F(ImportDriverTest, AnImportThatDoesNotCompleteChangesNothing) {
    const QString columns = "Error with OBS code - 150.  there was an error reading a row from "
                            "the input file. number of columns does not match expected number "
                            "of columns.";
    const QString formatted =
        "Error with OBS code - 150. There was an error reading a row from the input file due to "
        "incorrectly formatted data. Certain columns do not meet the requirements as specified "
        "in the record layout (e.g text values may be placed in fields which require numeric "
        "values).";
    auto extractWith = [](int at, const std::function<void(QByteArray&, Record&)>& spoil) {
        QByteArray file;
        for (int i = 1; i <= 297; ++i) {
            auto record = validRecord(i);
            QByteArray text;
            if (i == at) {
                spoil(text, record);
                if (!text.isEmpty()) {
                    file += text;
                    continue;
                }
            }
            file += line(record);
        }
        return file;
    };
    struct Case {
        const char* name;
        QByteArray file;
        const char* refusal; // SQL run before the import, undone after it
        const char* undo;
        QString entry; // the report's first entry; empty for none
        ImportOutcome outcome;
    };
    const QByteArray plain = extractWith(0, [](QByteArray&, Record&) {});
    const char* const undoTrigger = "DROP TRIGGER temp.refuse";
    // clang-format off
    const Case cases[] = {
        {"an extra column at line 150",
         extractWith(150, [](QByteArray& text, Record& r) {
             text = line(r);
             text.insert(text.size() - 2, ",extra");
         }), "", "", columns, ImportOutcome::Failed},
        {"a missing column at line 150",
         extractWith(150, [](QByteArray& text, Record& r) {
             text = line(r);
             text.truncate(text.lastIndexOf(','));
             text += "\r\n";
         }), "", "", columns, ImportOutcome::Failed},
        {"text in a number column (Gender)",
         extractWith(150, [](QByteArray&, Record& r) { r[5] = "F"; }), "", "", formatted,
         ImportOutcome::Failed},
        {"text in a number column (Tenure)",
         extractWith(150, [](QByteArray&, Record& r) { r[20] = "ten"; }), "", "", formatted,
         ImportOutcome::Failed},
        {"a refused insert", plain,
         "CREATE TEMP TRIGGER refuse BEFORE INSERT ON main.tblORVmaster WHEN new.obs = 150 "
         "BEGIN SELECT RAISE(ABORT, 'insert refused'); END",
         undoTrigger, "Error with OBS code - 150.", ImportOutcome::Failed},
        {"the draw refused", plain,
         "CREATE TEMP TRIGGER refuse BEFORE INSERT ON main.tblsupport WHEN new.sType = 'U' "
         "BEGIN SELECT RAISE(ABORT, 'unit refused'); END",
         undoTrigger, "Error with OBS code - .", ImportOutcome::Failed},
        {"no sample table", plain, "ALTER TABLE tblsample RENAME TO tblsample_gone",
         "ALTER TABLE tblsample_gone RENAME TO tblsample", "Error with OBS code - .",
         ImportOutcome::Failed},
        {"cancelled", plain, "", "", "", ImportOutcome::Cancelled},
    };
    // clang-format on
    ASSERT_EQ(runImport(test::validLines(1, 60)).outcome, ImportOutcome::Completed);
    const QStringList before = runState();
    ASSERT_GT(count("select count(*) from tblsample"), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (*c.refusal)
            session->db().exec(c.refusal);
        ImportDriver driver(*session, view);
        view.onRefresh = [&] {
            if (c.outcome == ImportOutcome::Cancelled && view.labels[2].startsWith("Record - 1"))
                driver.requestCancel();
        };
        test::writeFile(extract, c.file);
        ui.shown.clear();
        const ImportResult r = driver.importExtractFile(extract, ImportOptions{3});
        view.onRefresh = nullptr;
        if (*c.undo)
            session->db().exec(c.undo);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.inserted, 0);
        EXPECT_EQ(runState(), before);
        EXPECT_EQ(count("select count(*) from tblORVmaster"), 60);
        if (c.outcome == ImportOutcome::Cancelled) {
            EXPECT_EQ(view.labels[2], "Process has been aborted.");
            EXPECT_TRUE(driver.cancelRequested());
            continue;
        }
        EXPECT_EQ(view.labels[1], "Import Failed!");
        ASSERT_TRUE(r.reportWritten);
        EXPECT_EQ(reportLines()[4], c.entry);
    }
}

TEST_F(ImportDriverTest, MissingFileChangesNothing) {
    ASSERT_EQ(runImport(line(validRecord(1))).outcome, ImportOutcome::Completed);
    ImportDriver driver(*session, view);
    const ImportResult r = driver.importExtractFile(dir.file("nothere.csv"));
    EXPECT_EQ(r.outcome, ImportOutcome::Failed);
    EXPECT_TRUE(ui.lastMessage().contains("nothere.csv")) << ui.lastMessage().toStdString();
    EXPECT_EQ(count("select count(*) from tblORVmaster"), 1);
}

TEST_F(ImportDriverTest, ShowErrorFileSaysWhenThereIsNone) {
    showImportErrorFile(*session);
    EXPECT_EQ(ui.lastMessage(), "No Error file to display.");
}

// The import works the steps after the load out as it inserts; the statements run over the
// loaded master must come to the same run.
TEST_F(ImportDriverTest, StepsWorkedOutAtLoadEqualTheStatements) {
    for (const bool varyQuarters : {false, true}) {
        SCOPED_TRACE(varyQuarters ? "unassigned records" : "duplicates");
        std::mt19937 gen(varyQuarters ? 11 : 12);
        auto pick = [&](std::initializer_list<const char*> from) {
            return QString::fromLatin1(from.begin()[gen() % from.size()]);
        };
        QByteArray file;
        for (int obs = 1; obs <= 2500; ++obs) {
            auto r = validRecord(obs);
            // Units of very different sizes (heavy ones are taken with certainty), records
            // without a unit, a real unit 999999 and case managers differing in case.
            const unsigned u = gen() % 100;
            r[63] = u < 30   ? "1"
                    : u < 40 ? "2.5"
                    : u < 45 ? ""
                    : u < 48 ? "999999"
                             : QString::number(3 + gen() % 40);
            r[62] = pick({"Mgr A", "mgr a", "MGR B", "", "Mgr C"});
            if (obs % 97 == 0)
                r[3] = validRecord(obs - 1 - int(gen() % 50))[3];
            // Quarters on wage records, supplemental or not employed: other groups, other
            // weights, and records the groups leave out.
            constexpr int kQuarter[3][3] = {{45, 46, 55}, {48, 49, 56}, {50, 51, 57}};
            for (int q = 0; varyQuarters && q < 3; ++q) {
                const auto [employed, type, wages] = kQuarter[q];
                switch (gen() % 4) {
                case 0:
                    r[employed] = "2";
                    r[type] = r[wages] = "";
                    break;
                case 1:
                    r[type] = "5";
                    r[wages] = pick({"0", ""});
                    break;
                case 2:
                    r[employed] = r[type] = r[wages] = "";
                    break;
                default:
                    break;
                }
            }
            file += line(r);
        }
        ASSERT_EQ(runImport(file, 5).outcome, ImportOutcome::Completed);
        ASSERT_GT(count("select count(*) from tblsample where sampletype = 'C1'"), 0);
        ASSERT_GT(count("select count(*) from tblsample where sampletype = 'C2'"), 0);
        ASSERT_GT(count("select count(*) from tblsample where SamplingUnit = 999999"), 0);
        if (varyQuarters) {
            ASSERT_GT(count("select count(distinct Weight) from tblORVmaster"), 2);
            ASSERT_GT(count("select count(*) from tblORVmaster where spopnum = 0"), 0);
        } else {
            ASSERT_GT(count("select count(*) from tblORVmaster where subpop = ''"), 0);
        }
        const QStringList atLoad = runState();
        QStringList report = reportLines();
        while (!report.isEmpty() && report.last().isEmpty())
            report.removeLast();

        // With little memory what the import learns goes to scratch files in many runs, which
        // are gone once it ends.
        test::writeFile(extract, file);
        ImportDriver bounded(*session, view);
        ImportOptions options{5};
        options.summaryMemoryRecords = 97;
        const QDir scratch(QDir::tempPath());
        const QStringList before = scratch.entryList({"orv-import-*"}, QDir::Files);
        ASSERT_EQ(bounded.importExtractFile(extract, options).outcome, ImportOutcome::Completed);
        EXPECT_EQ(scratch.entryList({"orv-import-*"}, QDir::Files), before);
        ASSERT_EQ(runState().join('\n').toStdString(), atLoad.join('\n').toStdString());
        ASSERT_EQ(reportLines().mid(1), report.mid(1) + QStringList{""});

        RecordingView again;
        ImportLog log;
        runPostImport(*session, again, log, 5);
        const QStringList statements = runState();
        ASSERT_EQ(statements.size(), atLoad.size());
        for (qsizetype i = 0; i < atLoad.size(); ++i)
            ASSERT_EQ(statements[i].toStdString(), atLoad[i].toStdString()) << "row " << i;
        ASSERT_LE(log.entries.size(), report.size());
        EXPECT_EQ(log.entries.join('\n').toStdString(),
                  report.mid(report.size() - log.entries.size()).join('\n').toStdString());
        EXPECT_FALSE(log.entries.isEmpty());
    }
}
