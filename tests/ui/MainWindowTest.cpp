#include "ShellFixture.h"

#include "../cli/CliRunner.h"

#include "ScreenGeometry.h"
#include "SingleInstance.h"
#include "SplashScreen.h"

#include "db/DatabaseLock.h"

#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSignalSpy>

using namespace orv;
using orv::test::ShellTest;

namespace {

TEST_F(ShellTest, StartUpMenuStates) {
    EXPECT_EQ(window->objectName(), "U001");
    EXPECT_EQ(window->windowTitle(), "ORV Data Validation System.");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(panel(3), "DB: ");

    for (MenuEntry e : {MenuEntry::ImportData, MenuEntry::ChangeReportingOptions,
                        MenuEntry::ReportValidation, MenuEntry::DataValidation,
                        MenuEntry::Utilities, MenuEntry::CompactDatabase, MenuEntry::FixDatabase})
        EXPECT_FALSE(enabled(e)) << static_cast<int>(e);
    for (auto [array, index] : {std::pair{"filem", 0},
                                {"scrcust", -1},
                                {"mnuHelp", -1},
                                {"mnuFile", 0},
                                {"mnuFile", 1},
                                {"mnuFile", 2},
                                {"mnuFile", 6}})
        EXPECT_TRUE(menu(array, index)->isEnabled()) << array << index;

    // The entries that are off are not there for the user; the Admin menu with them.
    for (auto [array, index] : {std::pair{"mnuSetup", 0},
                                {"mnuCPop", 0},
                                {"mnuRptVal", 4},
                                {"mnuUtilities", 2},
                                {"mnuUtilities", 3},
                                {"mnuHelpHelp", 1},
                                {"mnuHelpHelp", 2}})
        EXPECT_FALSE(menu(array, index)->isVisible()) << array << index;
    EXPECT_EQ(window->menuAction("mnuHelpHelp", 3), nullptr);
}

TEST_F(ShellTest, CreateThenSignInOpensTheMenus) {
    createDatabase();
    EXPECT_EQ(panel(3), "DB: run.mdb");
    QWidget* signIn = screen("U003");
    EXPECT_EQ(signIn->windowTitle(), "U003 - Sign In");
    for (MenuEntry e :
         {MenuEntry::ImportData, MenuEntry::ChangeReportingOptions, MenuEntry::ReportValidation,
          MenuEntry::DataValidation, MenuEntry::CompactDatabase, MenuEntry::FileNew,
          MenuEntry::FileOpen, MenuEntry::FileSaveAs})
        EXPECT_TRUE(enabled(e)) << static_cast<int>(e);
    for (MenuEntry e :
         {MenuEntry::Utilities, MenuEntry::ViewOutcomeGroups, MenuEntry::ViewPerformanceReport})
        EXPECT_FALSE(enabled(e)) << static_cast<int>(e);

    // Core stores the settings and sets the menus and panels; the window shows them.
    type(control<QLineEdit>("U003", "txtFiscalYear"), "2008");
    QTest::mouseClick(control<QWidget>("U003", "cmdsignin"), Qt::LeftButton);
    EXPECT_EQ(screen("U003"), nullptr) << fe().lastMessage().toStdString();
    for (MenuEntry e : {MenuEntry::Utilities, MenuEntry::ViewOutcomeGroups,
                        MenuEntry::ViewPerformanceReport, MenuEntry::ImportData})
        EXPECT_TRUE(enabled(e)) << static_cast<int>(e);
    EXPECT_EQ(panel(2), "Reporting Period - 07/01/2006 - 06/30/2007");
    EXPECT_EQ(panel(5), "Filter (OFF)");
    // The template asks for the tip of the day.
    EXPECT_TRUE(window->action(MenuEntry::ShowTipsAtStartup)->isChecked());
    EXPECT_TRUE(screen("U014"));
    EXPECT_TRUE(fe().messages().isEmpty());
}

TEST_F(ShellTest, OpeningAnExistingDatabaseSignsIn) {
    // A file that is no database is refused in a critical box, and nothing opens.
    test::writeFile(dir.file("notes.mdb"), "just some words\n");
    fe().clearRecords();
    fe().setNextFileName(dir.file("notes.mdb"));
    menu("mnuFile", 1)->trigger();
    ASSERT_EQ(fe().messages().size(), 1);
    EXPECT_TRUE(fe().messages()[0].text.startsWith("Unable to attach to database!\n"));
    EXPECT_EQ(fe().messages()[0].icon, Icon::Critical);
    EXPECT_FALSE(screen("U003"));

    ASSERT_TRUE(QFile::copy(test::templatePath(), dir.file("old.mdb")));
    fe().setNextFileName(dir.file("old.mdb"));
    menu("mnuFile", 1)->trigger();
    ASSERT_TRUE(screen("U003")) << fe().lastMessage().toStdString();
    EXPECT_EQ(screen("U003")->windowTitle(), "U003 - Sign In");
    EXPECT_TRUE(enabled(MenuEntry::DataValidation));
    EXPECT_EQ(panel(3), "DB: old.mdb");
}

TEST_F(ShellTest, UtilitiesCompactAndFixRunFromTheMenu) {
    signInWith2008();
    fe().clearRecords();
    // Cancel pressed in the compact's progress: nothing is done, nothing is said.
    session().db().exec("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n "
                        "WHERE x < 2000) INSERT INTO tblORVmaster (obs) SELECT x FROM n");
    fe().setCancelAtStep(0);
    menu("mnuUtilities", 0)->trigger();
    EXPECT_TRUE(session().isOpen());
    EXPECT_FALSE(QFile::exists(dir.file("temp.mdb")));
    EXPECT_EQ(fe().progressTexts(), QStringList{"Compacting the database..."});
    menu("mnuUtilities", 0)->trigger();
    EXPECT_TRUE(session().isOpen());
    EXPECT_TRUE(QFile::exists(dir.file("temp.mdb")));
    EXPECT_TRUE(fe().messages().isEmpty()) << fe().lastMessage().toStdString();

    ASSERT_TRUE(menu("mnuUtilities", 1)->isVisible());
    fe().setNextAnswer(true); // "Repair the VRQ database?"
    menu("mnuUtilities", 1)->trigger();
    EXPECT_EQ(fe().questions().last(), "Repair the VRQ database?");
    EXPECT_EQ(fe().lastMessage(), "End of repair procedure!");
    EXPECT_TRUE(session().isOpen());
    EXPECT_EQ(panel(1), "");
}

TEST_F(ShellTest, TheOpenDatabaseIsLockedUntilAnotherIsOpenedOrTheProgramEnds) {
    createDatabase("a.mdb");
    const QString aLock = DatabaseLock::lockFileFor(dir.file("a.mdb"));
    const QString b = dir.file("b.mdb");
    const QString bLock = DatabaseLock::lockFileFor(b);
    EXPECT_TRUE(QFile::exists(aLock));
    ASSERT_TRUE(QFile::copy(test::templatePath(), b));
    fe().setNextFileName(b);
    menu("mnuFile", 1)->trigger();
    ASSERT_TRUE(screen("U003")) << fe().lastMessage().toStdString();
    EXPECT_FALSE(QFile::exists(aLock));
    EXPECT_TRUE(QFile::exists(bLock));
    window.reset();
    EXPECT_FALSE(QFile::exists(bLock));
}

TEST_F(ShellTest, ExitAnsweredNoKeepsEverything) {
    signInWith2008();
    session().db().execute("UPDATE tblsystem SET OfficeName = 'North'");
    QSignalSpy ended(window.get(), &ui::MainWindow::programEnded);
    fe().setNextAnswer(false);
    menu("mnuFile", 6)->trigger();
    EXPECT_EQ(fe().questions().last(), "Are you sure you want to exit ORV?");
    EXPECT_FALSE(window->hasEnded());
    EXPECT_EQ(ended.count(), 0);
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(session().isOpen());
    EXPECT_EQ(stored("OfficeName").toString(), "North");

    // The window's close box asks the same.
    fe().setNextAnswer(false);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(ShellTest, ExitAnsweredYesClearsTheFiltersAndEnds) {
    signInWith2008();
    session().db().execute("UPDATE tblsystem SET OfficeName = 'North', WibName = 'W1'");
    QSignalSpy ended(window.get(), &ui::MainWindow::programEnded);
    fe().setNextAnswer(true);
    menu("mnuFile", 6)->trigger();
    EXPECT_TRUE(window->hasEnded());
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(session().isOpen());
    EXPECT_FALSE(window->isVisible());
    Database db(dir.file("run.mdb"));
    EXPECT_EQ(db.scalar("SELECT OfficeName || '|' || WibName || '|' || CaseMgr FROM tblsystem")
                  .toString(),
              " | | ");
}

TEST_F(ShellTest, ExitAnsweredYesWithoutADatabase) {
    fe().setNextAnswer(true);
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(window->hasEnded());
    EXPECT_TRUE(fe().messages().isEmpty());
}

// Without the user's guide beside the program (or installed), Help Contents and F1 say so.
TEST_F(ShellTest, HelpWithoutTheGuideHasItsMessage) {
    menu("mnuHelpHelp", 0)->trigger();
    ASSERT_EQ(fe().messages().size(), 1);
    EXPECT_EQ(fe().lastMessage(), "Help system is unavailable. Please consult your ORV manual.");
    EXPECT_EQ(fe().messages().first().icon, Icon::Exclamation);
    QTest::keyClick(window.get(), Qt::Key_F1);
    EXPECT_EQ(fe().messages().size(), 2);
    EXPECT_EQ(window->helpWindow(), nullptr);
}

TEST_F(ShellTest, AboutAndContactOpenOnceCentred) {
    menu("mnuHelpHelp", 7)->trigger();
    QMdiSubWindow* sub = window->mdiArea()->subWindowList().first();
    EXPECT_EQ(sub->pos(), ui::centeredIn(window->mdiArea()->viewport()->size(), sub->size()));
    // The screen keeps the room its contents need.
    EXPECT_GE(sub->widget()->width(), sub->widget()->minimumSizeHint().width());
    EXPECT_GE(sub->widget()->height(), sub->widget()->minimumSizeHint().height());
    menu("mnuHelpHelp", 7)->trigger();
    menu("mnuHelpHelp", 5)->trigger();
    ASSERT_TRUE(screen("U009"));
    ASSERT_TRUE(screen("U008"));
    EXPECT_EQ(screen("U009")->windowTitle(), "About");
    // The version --version prints, on the about box and the splash screen alike.
    const test::CliResult printed = test::runCli(dir.path(), {"--version"});
    ASSERT_EQ(printed.rc, 0);
    const QString version = QStringLiteral("Version ") + printed.out.trimmed().section(' ', 1);
    EXPECT_EQ(control<QLabel>("U009", "lblVersion")->text(), version);
    ui::SplashScreen splash(dir.path());
    EXPECT_EQ(splash.findChild<QLabel*>("lblVersion")->text(), version);
    EXPECT_EQ(screen("U008")->windowTitle(), "Contact Us.");
    EXPECT_EQ(window->mdiArea()->subWindowList().size(), 2);
}

TEST_F(ShellTest, TilesAndCascade) {
    menu("mnuHelpHelp", 7)->trigger();
    menu("mnuHelpHelp", 5)->trigger();
    const QSize area = window->mdiArea()->viewport()->size();
    const auto subs = window->mdiArea()->subWindowList();
    ASSERT_EQ(subs.size(), 2);

    menu("custds", 1)->trigger(); // horizontal: one above the other
    EXPECT_EQ(subs[0]->geometry(), QRect(0, 0, area.width(), area.height() / 2));
    EXPECT_EQ(subs[1]->geometry().top(), area.height() / 2);
    EXPECT_EQ(subs[1]->width(), area.width());

    menu("custds", 2)->trigger(); // vertical: side by side
    EXPECT_EQ(subs[0]->geometry(), QRect(0, 0, area.width() / 2, area.height()));
    EXPECT_EQ(subs[1]->geometry().left(), area.width() / 2);

    menu("custds", 0)->trigger();
    EXPECT_NE(subs[0]->pos(), subs[1]->pos());
}

struct CentreCase {
    QSize area;
    QSize screen;
    QPoint at;
};

void PrintTo(const CentreCase& c, std::ostream* os) {
    *os << c.area.width() << "x" << c.area.height() << " " << c.screen.width() << "x"
        << c.screen.height();
}

class CentredInTest : public ::testing::TestWithParam<CentreCase> {};

TEST_P(CentredInTest, Placement) {
    const CentreCase& c = GetParam();
    EXPECT_EQ(ui::centeredIn(c.area, c.screen), c.at);
}

// 100 twips from the edge when centring would put the screen outside.
INSTANTIATE_TEST_SUITE_P(Table, CentredInTest,
                         ::testing::Values(CentreCase{{800, 600}, {300, 200}, {250, 200}},
                                           CentreCase{{800, 600}, {900, 200}, {7, 200}},
                                           CentreCase{{800, 600}, {300, 700}, {250, 7}},
                                           CentreCase{{800, 600}, {790, 590}, {7, 7}},
                                           CentreCase{{800, 600}, {786, 586}, {7, 7}}));

TEST(ScreenGeometry, TwipSizesGrowInProportionWhenTheContentsNeedMore) {
    EXPECT_EQ(ui::screenSize(4800, 3500, {100, 100}), QSize(320, 233));
    EXPECT_EQ(ui::screenSize(4800, 3000, {640, 100}), QSize(640, 400));
    EXPECT_EQ(ui::screenSize(4800, 3000, {100, 300}), QSize(480, 300));
}

TEST(SingleInstance, SecondCopyIsRefusedUntilTheFirstEnds) {
    QTemporaryDir home;
    auto first = std::make_unique<ui::SingleInstance>(home.path());
    ASSERT_TRUE(first->tryLock());
    ui::SingleInstance second(home.path());
    EXPECT_FALSE(second.tryLock());
    // A file for the second goes to the first, which holds the lock.
    QStringList handed;
    first->acceptFiles([&](const QString& file) { handed << file; });
    ASSERT_TRUE(second.handOver(QStringLiteral("run.mdb")));
    for (int i = 0; i < 200 && handed.isEmpty(); ++i)
        QTest::qWait(10);
    EXPECT_EQ(handed, QStringList{QFileInfo(QStringLiteral("run.mdb")).absoluteFilePath()});
    first.reset();
    EXPECT_TRUE(second.tryLock());
    EXPECT_FALSE(ui::SingleInstance(home.path()).handOver(QStringLiteral("run.mdb")));
}

// What core tells, one event after another, as the panel and menus show it.
TEST_F(ShellTest, EventsShowInTheirPanelsAndMenus) {
    ui::GuiFrontEnd& ui = fe();
    const MenuEntry signedInOnly[] = {MenuEntry::Utilities, MenuEntry::ViewOutcomeGroups,
                                      MenuEntry::ViewPerformanceReport};
    // As the sign-in screen leaves them.
    for (MenuEntry e : signedInOnly)
        ui.setMenuEnabled(e, false);
    const struct {
        const char* event;
        std::function<void()> tell;
        int panel; // 0: none
        const char* text;
        bool dataMenus, signedInMenus;
    } steps[] = {
        {"opened", [&] { ui.databaseOpened("a.mdb"); }, 3, "DB: a.mdb", true, false},
        {"signed in", [&] { ui.signedIn(); }, 0, "", true, true},
        {"period", [&] { ui.periodChanged("Reporting Period - x"); }, 2, "Reporting Period - x",
         true, true},
        {"filter", [&] { ui.recordFilterChanged("Filter (ON)"); }, 5, "Filter (ON)", true, true},
        {"work", [&] { ui.workStatus("Busy...."); }, 1, "Busy....", true, true},
        {"work over", [&] { ui.workStatus(QString()); }, 1, "", true, true},
        {"closed", [&] { ui.databaseClosed(); }, 0, "", false, true},
    };
    for (const auto& step : steps) {
        step.tell();
        if (step.panel) {
            EXPECT_EQ(panel(step.panel), step.text) << step.event;
        }
        for (MenuEntry e :
             {MenuEntry::ImportData, MenuEntry::ChangeReportingOptions, MenuEntry::ReportValidation,
              MenuEntry::DataValidation, MenuEntry::CompactDatabase, MenuEntry::FixDatabase})
            EXPECT_EQ(enabled(e), step.dataMenus) << step.event << static_cast<int>(e);
        for (MenuEntry e : signedInOnly)
            EXPECT_EQ(enabled(e), step.signedInMenus) << step.event << static_cast<int>(e);
    }
    for (const bool show : {true, false}) {
        ui.showTipsChanged(show);
        EXPECT_EQ(window->action(MenuEntry::ShowTipsAtStartup)->isChecked(), show);
    }
}

TEST(SingleInstance, LockOfADeadCopyIsTakenOver) {
    QTemporaryDir home;
    ui::SingleInstance instance(home.path());
    QFile::remove(instance.lockPath());
    // The lock file format: process id, program name, host name.
    test::writeFile(instance.lockPath(), "2147483646\norvdv\n\n");
    EXPECT_TRUE(instance.tryLock());
}

} // namespace
