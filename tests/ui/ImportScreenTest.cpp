#include "ExtractLines.h"
#include "ShellFixture.h"

#include "ImportScreen.h"
#include "import/ImportDriver.h"
#include "session/ImportJournal.h"

#include <QDir>

#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

using namespace orv;

namespace {

class ImportScreenTest : public test::ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        signInWith2008();
        extract = dir.file("extract.csv");
    }
    // Import Data > Import from Extract File, answering the reload question.
    void importFile(const QByteArray& content, bool reload = true) {
        test::writeFile(extract, content);
        fe().setNextFileName(extract);
        fe().setNextAnswer(reload);
        menu("mnuImpDat", 0)->trigger();
    }
    QString label(int n) {
        auto* l = control<QLabel>("U011", QStringLiteral("Label%1").arg(n).toLatin1());
        return l ? l->text() : QStringLiteral("<none>");
    }
    QPushButton* button(const char* name) { return control<QPushButton>("U011", name); }
    qint64 masterRows() {
        return session().db().scalar("select count(*) from tblORVmaster").toLongLong();
    }
    QString extract;
};

} // namespace

TEST_F(ImportScreenTest, NoFileOrAnsweringNoImportsNothing) {
    menu("mnuImpDat", 0)->trigger();
    EXPECT_EQ(label(1), "No file has been selected.");
    importFile(test::validLines(1, 3), false);
    EXPECT_EQ(screen("U011")->windowTitle(), "U011 -  Import File.");
    EXPECT_EQ(fe().questions().last(),
              "This process will reload the Master Validation Table.\nPress Yes to continue / No "
              "to stop");
    EXPECT_EQ(label(2), "Record import cancelled at user's request. No records were imported");
    EXPECT_EQ(masterRows(), 0);
    EXPECT_TRUE(button("cmdExit1")->isEnabled());
    EXPECT_FALSE(button("cmdCancel1")->isEnabled());
}

TEST_F(ImportScreenTest, CompletedImportShowsCountsAndOpensTheReport) {
    auto bad = test::validRecord(9);
    bad[5] = "3";
    importFile(test::validLines(1, 5) + test::line(bad));
    EXPECT_EQ(label(1), "Import Complete.");
    EXPECT_EQ(label(2), "Number of Records Imported: 5\nNumber of Errors/Warnings: 1");
    EXPECT_TRUE(label(3).startsWith("There were errors/warnings in the import File."));
    EXPECT_EQ(masterRows(), 5);
    EXPECT_GT(session().db().scalar("select count(*) from tblsample").toLongLong(), 0);
    EXPECT_EQ(control<QProgressBar>("U011", "prgImport")->value(), 1000);
    ASSERT_EQ(fe().openedDocuments().size(), 1);
    EXPECT_EQ(fe().openedDocuments().first(), errorReportPath(session()));
    EXPECT_TRUE(window->menuBar()->isEnabled());
    EXPECT_EQ(panel(5), "Filter (OFF)");

    // View latest Error Report opens it again.
    menu("mnuImpDat", 1)->trigger();
    EXPECT_EQ(fe().openedDocuments().size(), 2);

    // Exit closes the screen once the import is over.
    QTest::mouseClick(button("cmdExit1"), Qt::LeftButton);
    EXPECT_EQ(screen("U011"), nullptr);
}

TEST_F(ImportScreenTest, CancelStopsAfterTheCurrentRecord) {
    // Cancel is pressed while the import yields to the window, once it counts a record.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!label(2).startsWith("Record - ") || label(2).startsWith("Record - 0 "))
            return;
        poll.stop();
        fe().setNextAnswer(true); // "Abort the process?"
        QTest::mouseClick(button("cmdCancel1"), Qt::LeftButton);
    });
    poll.start(0);
    importFile(test::validLines(1, 2000));
    EXPECT_TRUE(fe().questions().contains("Abort the process?"));
    EXPECT_EQ(label(2), "Process has been aborted.");
    EXPECT_EQ(masterRows(), 0) << "a cancelled import changes nothing";
    EXPECT_EQ(session().db().scalar("select count(*) from tblsample").toLongLong(), 0);
}

TEST_F(ImportScreenTest, ExitIsRefusedWhileImporting) {
    bool refused = false;
    QTimer::singleShot(0, [&] {
        refused = window->confirmExit();
        fe().setNextAnswer(true);
        QTest::mouseClick(button("cmdCancel1"), Qt::LeftButton);
    });
    importFile(test::validLines(1, 500));
    EXPECT_TRUE(refused);
    EXPECT_TRUE(session().isOpen());
}

TEST_F(ImportScreenTest, WrongFileIsRefusedAndAnUnfinishedImportToldAtTheNextOpen) {
    importFile(test::validLines(1, 3));
    ASSERT_EQ(label(1), "Import Complete.");
    fe().clearRecords();
    importFile("");
    EXPECT_EQ(label(1), "Import Failed!");
    EXPECT_TRUE(fe().lastMessage().contains("holds no records"))
        << fe().lastMessage().toStdString();
    EXPECT_EQ(masterRows(), 3);

    // An import that started and died: the next File > Open says so.
    importJournal::begin(session().db(), extract);
    button("cmdExit1")->click();
    fe().clearRecords();
    fe().setNextFileName(session().databasePath());
    menu("mnuFile", 1)->trigger();
    ASSERT_FALSE(fe().messages().isEmpty());
    EXPECT_TRUE(fe().messages().first().text.startsWith(
        "The import of " + QDir::toNativeSeparators(extract) + " started "))
        << fe().messages().first().text.toStdString();
    EXPECT_EQ(masterRows(), 3);
}
