#include "FaultVfs.h"
#include "ImportFixture.h"

#include "session/ImportJournal.h"

#include <QDir>
#include <QLockFile>
#include <QStringEncoder>

#include <sys/wait.h>
#include <unistd.h>

using namespace orv;

namespace {

using test::line;
using test::validRecord;

class ImportReliabilityTest : public test::ImportFixture {
protected:
    // Two records loaded, a sample drawn and an error report in place: what a wrong file must
    // leave as it is.
    void loadGoodRun() {
        ASSERT_EQ(runImport(test::validLines(1, 60)).outcome, ImportOutcome::Completed);
        test::writeFile(errorReportPath(*session), "old report");
        before = runState();
        ASSERT_GT(count("select count(*) from tblsample"), 0);
    }
    // The warnings the user was shown.
    QStringList messages() const {
        QStringList out;
        for (const auto& m : ui.shown)
            if (m.icon == Icon::Exclamation)
                out << m.text;
        return out;
    }
    bool hasIndex(const char* name) {
        return session->db()
            .scalar("select 1 from sqlite_master where type = 'index' and name = ?", {name})
            .isValid();
    }
    QStringList before;
};

QByteArray utf16(const QString& text, QStringConverter::Encoding encoding) {
    QStringEncoder encode(encoding, QStringConverter::Flag::WriteBom);
    return encode(text);
}

} // namespace

TEST_F(ImportReliabilityTest, WrongFileLeavesMasterSampleAndReportAlone) {
    auto header = validRecord(1);
    for (auto& [pos, value] : header)
        value = QStringLiteral("Column%1").arg(pos);
    QByteArray binary("PK\x03\x04\x14\x00\x06\x00", 8);
    binary += QByteArray(3000, '\x01') + "\n" + line(validRecord(2));
    const QString columns = "number of columns does not match expected number of columns.";
    struct Case {
        const char* name;
        QByteArray content;
        QString message;
    };
    const Case cases[] = {
        {"empty", "", "holds no records"},
        {"blank lines", "\r\n  \r\n\r\n", "holds no records"},
        {"binary", binary, "is not a text file of participant records"},
        {"UTF-16 read as bytes",
         utf16(QString::fromLatin1(line(validRecord(1))), QStringConverter::Utf16LE).mid(2),
         "is not a text file of participant records"},
        {"short first line", "a,b,c\r\n" + line(validRecord(2)), columns},
        {"header line", line(header) + line(validRecord(2)), "incorrectly formatted data"},
        {"first line too long", QByteArray(3 << 20, 'x') + "\n" + line(validRecord(2)), columns},
    };
    loadGoodRun();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui.shown.clear();
        const ImportResult r = runImport(c.content);
        EXPECT_EQ(r.outcome, ImportOutcome::Failed);
        EXPECT_EQ(view.labels[1], "Import Failed!");
        ASSERT_EQ(messages().size(), 1);
        EXPECT_TRUE(messages()[0].contains(c.message)) << messages()[0].toStdString();
        EXPECT_TRUE(messages()[0].contains("Nothing was changed"));
        EXPECT_EQ(runState(), before);
        EXPECT_EQ(test::readFile(errorReportPath(*session)), "old report");
        EXPECT_TRUE(hasIndex("idx_master_randno"));
    }
}

TEST_F(ImportReliabilityTest, UnicodeTextExportsReadLikeUtf8) {
    auto bad = validRecord(17);
    bad[5] = "3"; // Gender
    auto named = validRecord(2);
    named[60] = QString::fromUtf8("Büro Ñ 𝄞");
    const QString text = QString::fromUtf8(line(validRecord(1)) + line(bad) + line(named));
    const struct {
        const char* name;
        QByteArray content;
    } cases[] = {
        {"UTF-16 LE", utf16(text, QStringConverter::Utf16LE)},
        {"UTF-16 BE", utf16(text, QStringConverter::Utf16BE)},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + text.toUtf8()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.content.startsWith("\xFF\xFE") || c.content.startsWith("\xFE\xFF") ||
                    c.content.startsWith("\xEF\xBB\xBF"));
        const ImportResult r = runImport(c.content);
        EXPECT_EQ(r.outcome, ImportOutcome::Completed);
        EXPECT_EQ(r.records, 3);
        EXPECT_EQ(r.inserted, 2);
        EXPECT_EQ(reportLines()[4], "Error with OBS code - 17. Gender must be 0,1,2 or blank.");
        EXPECT_EQ(
            session->db().scalar("select OfficeName from tblORVmaster where obs = 2").toString(),
            QString::fromUtf8("Büro Ñ 𝄞"));
    }
}

TEST_F(ImportReliabilityTest, LongLinesAndObsAreCutInTheReport) {
    const QString cut = QString(60, 'x') + QChar(0x2026);
    auto longObs = validRecord(2);
    longObs[1] = QString(5000, 'x');
    struct Case {
        const char* name;
        QByteArray second;
        QString entry;
    };
    const Case cases[] = {
        {"a line longer than any record", QByteArray(5 << 20, 'x') + "\r\n",
         "Error with OBS code - " + cut +
             ".  there was an error reading a row from the input file. number of columns does "
             "not match expected number of columns."},
        {"a long obs", line(longObs), "Error with OBS code - " + cut + ". "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(runImport(line(validRecord(1)) + c.second).outcome, ImportOutcome::Failed);
        EXPECT_TRUE(reportLines()[4].startsWith(c.entry)) << reportLines()[4].toStdString();
        EXPECT_LT(QFileInfo(errorReportPath(*session)).size(), 4096);
    }
}

// A second import into the same database is kept off by the database's own lock.
TEST_F(ImportReliabilityTest, SecondImportInTheSameFolderIsRefused) {
    loadGoodRun();
    QLockFile other(dir.file("ImportError.lock"));
    ASSERT_TRUE(other.tryLock(0));
    ui.shown.clear();
    EXPECT_EQ(runImport("a,b\r\n").outcome, ImportOutcome::Failed);
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages()[0].startsWith("Another import is running from the program folder"))
        << messages()[0].toStdString();
    EXPECT_EQ(runState(), before);
    EXPECT_EQ(test::readFile(errorReportPath(*session)), "old report");
    other.unlock();
    // Once the other import is over, this one runs.
    EXPECT_EQ(runImport(line(validRecord(1))).outcome, ImportOutcome::Completed);
}

// A load of more than one batch of rows, so that some are on the disk when it stops. The stop
// comes at the first progress past kStopAt, which is timed: the second batch is long enough
// for that progress to come before it commits, however fast the machine.
class ImportOnTheDiskTest : public ImportReliabilityTest {
protected:
    static constexpr int kRecords = 100000;
    static constexpr int kStopAt = 55000;
    static const QByteArray& bigExtract() {
        static const QByteArray file = test::validLines(1, kRecords);
        return file;
    }
    qint64 progressRecords() const {
        const QString& progress = view.labels.at(2);
        return progress.startsWith("Record - ") ? progress.mid(9).section(' ', 0, 0).toLongLong()
                                                : 0;
    }
};

TEST_F(ImportOnTheDiskTest, FullDiskIsToldOnceAndChangesNothing) {
    loadGoodRun();
    const QString folder = QDir::toNativeSeparators(dir.path());
    struct Case {
        const char* name;
        bool atStart; // full before the master is touched
    };
    const Case cases[] = {{"before the load", true}, {"during the load", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeFile(errorReportPath(*session), "old report");
        session->closeConnection();
        test::FaultVfs::install();
        ASSERT_NO_THROW(session->openDatabaseConnection(dir.file("run.mdb")));
        ui.shown.clear();
        if (c.atStart)
            test::FaultVfs::armDiskFull(0);
        view.onRefresh = [&] {
            if (!c.atStart && progressRecords() >= kStopAt)
                test::FaultVfs::armDiskFull(0);
        };
        const ImportResult r = runImport(bigExtract());
        view.onRefresh = nullptr;
        test::FaultVfs::reset();
        test::FaultVfs::uninstall();

        EXPECT_EQ(r.outcome, ImportOutcome::Failed);
        EXPECT_TRUE(r.diskFull);
        EXPECT_EQ(r.inserted, 0);
        ASSERT_EQ(messages().size(), 1) << messages().join('\n').toStdString();
        EXPECT_EQ(messages()[0], "The disk is full: there is no room left in " + folder +
                                     ". Nothing was changed. Free some space there and import "
                                     "the extract again.");
        // The next open plays the engine's journal back, should the rollback itself have
        // found no room.
        ui.shown.clear();
        ASSERT_NO_THROW(session->openDatabaseConnection(dir.file("run.mdb")));
        EXPECT_EQ(runState(), before);
        EXPECT_TRUE(hasIndex("idx_master_randno"));
        if (c.atStart) {
            EXPECT_EQ(test::readFile(errorReportPath(*session)), "old report");
            continue;
        }
        EXPECT_EQ(view.labels[2], "Number of Records Imported: 0\nNumber of Errors/Warnings: 1");
        const QStringList report = reportLines();
        EXPECT_TRUE(report[4].startsWith("Error with OBS code - ")) << report[4].toStdString();
        EXPECT_TRUE(report[4].endsWith(". The disk is full.")) << report[4].toStdString();
        EXPECT_EQ(report[5], "");
    }
}

TEST_F(ImportOnTheDiskTest, ImportCutShortLeavesTheDatabaseAsItWasAndIsToldOnce) {
    loadGoodRun();
    test::writeFile(extract, bigExtract());
    const QString db = dir.file("run.mdb");
    session->closeConnection();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Killed in the middle of the load, as by a power cut: nothing runs after it.
        test::ScriptedFrontEnd silent;
        silent.answer(test::kReload, true);
        Session s(dir.path(), &silent);
        try {
            s.openDatabaseConnection(db);
        } catch (const DbError&) {
            _exit(2);
        }
        loadGlobals(s, SignInMode::SignIn);
        test::RecordingView dying;
        dying.onRefresh = [&] {
            const QString& p = dying.labels[2];
            if (p.startsWith("Record - ") && p.mid(9).section(' ', 0, 0).toLongLong() >= kStopAt)
                _exit(0);
        };
        // Killed part-way: what it would return is never read.
        static_cast<void>(ImportDriver(s, dying).importExtractFile(extract));
        _exit(3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    for (const bool again : {false, true}) {
        ui.shown.clear();
        ASSERT_NO_THROW(session->openDatabaseConnection(db));
        EXPECT_EQ(runState(), before);
        if (again) {
            EXPECT_TRUE(messages().isEmpty()) << "told once";
            continue;
        }
        ASSERT_EQ(messages().size(), 1);
        EXPECT_TRUE(messages()[0].startsWith("The import of " + QDir::toNativeSeparators(extract) +
                                             " started "))
            << messages()[0].toStdString();
        EXPECT_TRUE(messages()[0].endsWith(" did not finish; the database is as it was before it."))
            << messages()[0].toStdString();
        EXPECT_TRUE(hasIndex("idx_master_randno"));
        EXPECT_TRUE(hasIndex("idx_master_obs"));
    }
}
