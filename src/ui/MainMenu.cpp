#include "MainMenu.h"

#include "AboutScreen.h"
#include "CommentsScreen.h"
#include "ContactScreen.h"
#include "GuiFrontEnd.h"
#include "ImportScreen.h"
#include "MakePackScreen.h"
#include "MergeConflictsScreen.h"
#include "Navigator.h"
#include "ReportValidationScreen.h"
#include "SampleSummaryScreen.h"
#include "SignInScreen.h"
#include "SourceTableScreen.h"
#include "SwitchScreen.h"
#include "WorksheetScreen.h"

#include "exports/ParticipantGroups.h"
#include "exports/SummaryXml.h"
#include "import/ImportDriver.h"
#include "session/DatabaseFiles.h"
#include "session/Session.h"
#include "validation/ReportValidation.h"
#include "worksheet/ErrorRates.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include <algorithm>

namespace orv::ui {

namespace {

constexpr int entry(MenuEntry e) {
    return static_cast<int>(e);
}

template <typename Screen> void open(Navigator& nav) {
    nav.showForm(nav.screenOrNew<Screen>());
}

// A report id as a template argument, so that a table row can name the report it prints.
struct ReportId {
    char text[7] = {};
    constexpr ReportId(const char (&id)[7]) { std::copy_n(id, 7, text); }
};

template <ReportId id> void print(Navigator& nav) {
    nav.printReport(QString::fromLatin1(id.text));
}

template <Arrangement how> void arrange(Navigator& nav) {
    nav.arrangeScreens(how);
}

// Computes rows before a report or an export of them; tells a failure and returns false.
template <typename Compute> bool computed(Navigator& nav, Compute compute) {
    try {
        static_cast<void>(compute(nav.session()));
    } catch (const DbError& e) {
        nav.frontEnd().message(e.message(), Icon::Exclamation);
        return false;
    }
    return true;
}

// File

void enableFileEntries(Navigator& nav) {
    for (MenuEntry e : {MenuEntry::FileNew, MenuEntry::FileOpen, MenuEntry::FileSaveAs})
        nav.action(e)->setEnabled(true);
}

void fileNew(Navigator& nav) {
    const QString name = nav.frontEnd().saveFileName(QStringLiteral("Create Database."));
    // A new database always starts with a sign-in, whatever screen was opened before.
    if (nav.frontEnd().runFileCommand([&] { return createDatabase(nav.session(), name); }) ==
        FileResult::Opened) {
        nav.frontEnd().rememberRecentFile(nav.session().databasePath());
        nav.showSignIn(SignInMode::SignIn);
    }
    enableFileEntries(nav);
}

void fileOpen(Navigator& nav) {
    openDatabaseFile(nav, nav.frontEnd().openFileName(QStringLiteral("Open")));
}

void fileSaveAs(Navigator& nav) {
    const QString name = nav.frontEnd().saveFileName(QStringLiteral("Save As"));
    // The window is the same whatever the outcome.
    static_cast<void>(
        nav.frontEnd().runFileCommand([&] { return saveDatabaseAs(nav.session(), name); }));
}

void toggleShowTips(Navigator& nav) {
    // The entry has its new check mark already.
    QAction* entry = nav.action(MenuEntry::ShowTipsAtStartup);
    const bool show = entry->isChecked();
    // Without a database there is nowhere to keep the choice; sign-in sets the mark again.
    if (!nav.session().isOpen())
        return;
    try {
        setShowTips(nav.session(), show);
    } catch (const DbError& e) {
        entry->setChecked(!show);
        nav.frontEnd().message(e.message(), Icon::Exclamation);
    }
}

void fileExit(Navigator& nav) {
    if (!nav.confirmExit())
        nav.endProgram();
}

// Import Data

template <ImportKind kind> void importFile(Navigator& nav) {
    auto* screen = nav.screenOrNew<ImportScreen>();
    nav.showForm(screen);
    // Every time the command brings the screen up it asks for a file, as on its first opening.
    screen->startImport(kind);
}

void showImportErrorFile(Navigator& nav) {
    orv::showImportErrorFile(nav.session());
}

// Change Reporting Options

void changePopulation(Navigator& nav) {
    nav.showSignIn(SignInMode::SignIn);
}

void changeReportingOptions(Navigator& nav) {
    nav.showSignIn(SignInMode::ReportOptions);
}

// Report Validation

void viewPerformanceReport(Navigator& nav) {
    nav.frontEnd().setBusy(true);
    const bool ok = computed(nav, ComputeReportValidation);
    nav.frontEnd().setBusy(false);
    if (ok)
        nav.printReport(QStringLiteral("R003-1"));
}

void exportOutcomeGroups(Navigator& nav) {
    // The export lets the window paint between records: nothing else may use the database.
    nav.setMenuBarEnabled(false);
    // The command tells its outcome itself; the window is the same whatever it was.
    static_cast<void>(ExportParticipantGroups(nav.session()));
    nav.setMenuBarEnabled(true);
}

// Data Validation

void editWorksheets(Navigator& nav) {
    // While a worksheet is open the list is hidden behind it.
    if (auto* worksheet = nav.screen<WorksheetScreen>())
        nav.showForm(worksheet);
    else
        open<SampleSummaryScreen>(nav);
}

void printWorksheets(Navigator& nav) {
    const QString popType = nav.session().settings().popType;
    nav.printReport(QStringLiteral("R005-") + (popType.isEmpty() ? QStringLiteral("1") : popType));
}

void printSummaryReport(Navigator& nav) {
    if (computed(nav, ComputeErrorRates))
        nav.printReport(QStringLiteral("R004-1"));
}

void exportSummary(Navigator& nav) {
    // The command tells its outcome itself; the window is the same whatever it was.
    if (computed(nav, ComputeErrorRates))
        static_cast<void>(ExportSummaryXml(nav.session()));
}

// Utilities: the window is the same whatever the outcome.

void compactDatabase(Navigator& nav) {
    static_cast<void>(
        nav.frontEnd().runFileCommand([&] { return compactDatabaseFile(nav.session()); }));
}

void fixDatabase(Navigator& nav) {
    static_cast<void>(
        nav.frontEnd().runFileCommand([&] { return repairDatabaseFile(nav.session()); }));
}

// Help

void helpContents(Navigator& nav) {
    nav.showHelp();
}

const MenuItem kMenu[] = {
    {0, "filem", 0, "&File", false, nullptr, kNoEntry},
    {1, "mnuFile", 0, "&New", false, fileNew, entry(MenuEntry::FileNew)},
    {1, "mnuFile", 1, "&Open", false, fileOpen, entry(MenuEntry::FileOpen)},
    {1, "mnuFile", 2, "Save &As", false, fileSaveAs, entry(MenuEntry::FileSaveAs)},
    {1, "mnuFile", 3, "-", false, nullptr, kNoEntry},
    {1, "mnuFile", 4, "Show &Tips At Startup", false, toggleShowTips,
     entry(MenuEntry::ShowTipsAtStartup)},
    {1, "mnuFile", 5, "-", false, nullptr, kNoEntry},
    {1, "mnuFile", 6, "E&xit", false, fileExit, kNoEntry},

    {0, "mnuImpData", 0, "&Import Data", false, nullptr, entry(MenuEntry::ImportData)},
    {1, "mnuImpDat", 0, "&Import from Extract File", false, importFile<ImportKind::Extract>,
     kNoEntry},
    {1, "mnuImpDat", 1, "View latest Error &Report", false, showImportErrorFile, kNoEntry},
    {1, "mnuImpDat", 2, "-", false, nullptr, kNoEntry},
    {1, "mnuImpDat", 3, "View &Duplicates", false, print<"R002-1">, kNoEntry},
    {1, "mnuImpDat", 4, "-", false, nullptr, kNoEntry},
    {1, "mnuImpDat", 5, "Source &Table Record Layout", false, print<"R001-1">, kNoEntry},
    // Shown: the counts it describes can be imported from this menu.
    {1, "mnuImpDat", 6, "Reported Counts Record &Layout", false, print<"R001-2">, kNoEntry},
    {1, "mnuImpDat", 7, "-", false, nullptr, kNoEntry},
    {1, "mnuImpDat", 8, "&View Source Table", false, open<SourceTableScreen>, kNoEntry},
    // Reported counts come in through the import screen in its counts mode.
    {1, "mnuImpDat", 9, "-", false, nullptr, kNoEntry},
    {1, "mnuImpDat", 10, "Import Reported &Counts", false, importFile<ImportKind::ReportedCounts>,
     kNoEntry},

    {0, "mnuChangepop", 0, "Change Reporting &Options", false, nullptr,
     entry(MenuEntry::ChangeReportingOptions)},
    {1, "mnuCPop", 0, "Change &Population", true, changePopulation, kNoEntry},
    {1, "mnuCPop", 1, "Change &Reporting Options", false, changeReportingOptions, kNoEntry},

    {0, "ps", 0, "&Report Validation", false, nullptr, entry(MenuEntry::ReportValidation)},
    {1, "mnuRptVal", 0, "&View Performance Outcome Groups", false, open<ReportValidationScreen>,
     entry(MenuEntry::ViewOutcomeGroups)},
    {1, "mnuRptVal", 1, "View Performance &Report", false, viewPerformanceReport,
     entry(MenuEntry::ViewPerformanceReport)},
    {1, "mnuRptVal", 2, "-", false, nullptr, kNoEntry},
    {1, "mnuRptVal", 3, "&Export Performance Outcome Groups", false, exportOutcomeGroups, kNoEntry},
    {1, "mnuRptVal", 4, "Upload RV Summary", true, nullptr, kNoEntry},

    {0, "mnuwks", 0, "Data &Validation", false, nullptr, entry(MenuEntry::DataValidation)},
    {1, "mnuwks1", 0, "&Edit Worksheets", false, editWorksheets, kNoEntry},
    {1, "mnuwks1", 1, "&Print Worksheets", false, printWorksheets, kNoEntry},
    {1, "mnuwks1", 2, "Print &Summary/Analytical Report", false, printSummaryReport, kNoEntry},
    {1, "mnuwks1", 3, "Print Sampled &Counts Report", false, print<"R006-1">, kNoEntry},
    {1, "mnuwks1", 4, "-", false, nullptr, kNoEntry},
    {1, "mnuwks1", 5, "Summary/Analytical Co&mments", false, open<CommentsScreen>, kNoEntry},
    {1, "mnuwks1", 6, "-", false, nullptr, kNoEntry},
    {1, "mnuwks1", 7, "E&xport Summary/Analytical", false, exportSummary, kNoEntry},
    {1, "mnuwks1", 8, "-", false, nullptr, kNoEntry},
    {1, "mnuFieldWork", -1, "&Field Work", false, nullptr, kNoEntry},
    {2, "mnuMakePack", -1, "&Make Pack...", false, open<MakePackScreen>, kNoEntry},
    {2, "mnuMergePack", -1, "M&erge Pack...", false, mergePackFile, kNoEntry},

    {0, "mnuUtils", 0, "&Utilities", false, nullptr, entry(MenuEntry::Utilities)},
    {1, "mnuUtilities", 0, "&Compact Database", false, compactDatabase,
     entry(MenuEntry::CompactDatabase)},
    // Marked off, yet enabled with every opened database: shown, disabled until then.
    {1, "mnuUtilities", 1, "&Fix Database", false, fixDatabase, entry(MenuEntry::FixDatabase)},
    {1, "mnuUtilities", 2, "-", true, nullptr, kNoEntry},
    {1, "mnuUtilities", 3, "&Switch Database", true, open<SwitchScreen>, kNoEntry},

    {0, "mnuSetup", 0, "&Admin", true, nullptr, kNoEntry},
    {1, "mnuSetupAdmin", 0, "&Setup", false, nullptr, kNoEntry},
    {2, "mnuSetupAdminSetup", 0, "Install &Update", false, nullptr, kNoEntry},
    {2, "mnuSetupAdminSetup", 1, "&Update Startup Settings", false, nullptr, kNoEntry},
    {2, "mnuSetupAdminSetup", 2, "&Security", false, nullptr, kNoEntry},
    {2, "mnuSetupAdminSetup", 3, "Setup &User Account", false, nullptr, kNoEntry},

    {0, "scrcust", -1, "&Window", false, nullptr, kNoEntry},
    {1, "custds", 0, "&Cascade", false, arrange<Arrangement::Cascade>, kNoEntry},
    {1, "custds", 1, "Tile &Horizontal", false, arrange<Arrangement::TileHorizontal>, kNoEntry},
    {1, "custds", 2, "Tile &Vertical", false, arrange<Arrangement::TileVertical>, kNoEntry},

    {0, "mnuHelp", -1, "&Help", false, nullptr, kNoEntry},
    {1, "mnuHelpHelp", 0, "&Help Contents", false, helpContents, kNoEntry},
    {1, "mnuHelpHelp", 1, "&Search for Help on..", true, nullptr, kNoEntry},
    {1, "mnuHelpHelp", 2, "&Help on using help..", true, nullptr, kNoEntry},
    {1, "mnuHelpHelp", 4, "-", false, nullptr, kNoEntry},
    {1, "mnuHelpHelp", 5, "Contacting &Corvath", false, open<ContactScreen>, kNoEntry},
    {1, "mnuHelpHelp", 6, "-", false, nullptr, kNoEntry},
    {1, "mnuHelpHelp", 7, "&About", false, open<AboutScreen>, kNoEntry},
};

// What a field pack leaves out: it holds the validators' workflow only, and what it holds goes
// back by a merge. An index of kWholeMenu stands for every entry of that menu.
struct PackLimit {
    const char* array;
    int index;
};
constexpr int kWholeMenu = -2;
const PackLimit kNotInPackEntries[] = {
    {"mnuFile", 0},
    {"mnuFile", 2},
    {"mnuFile", 4},
    {"mnuImpDat", kWholeMenu},
    {"mnuCPop", kWholeMenu},
    {"mnuRptVal", kWholeMenu},
    {"mnuwks1", 2},
    {"mnuwks1", 3},
    {"mnuwks1", 5},
    {"mnuwks1", 7},
    {"mnuFieldWork", kWholeMenu},
    {"mnuMakePack", kWholeMenu},
    {"mnuMergePack", kWholeMenu},
    {"mnuUtilities", kWholeMenu},
};

bool notInPack(const MenuItem& item) {
    return std::any_of(std::begin(kNotInPackEntries), std::end(kNotInPackEntries),
                       [&](const PackLimit& l) {
                           return qstrcmp(l.array, item.array) == 0 &&
                                  (l.index == kWholeMenu || l.index == item.index);
                       });
}

// Leaving a pack enables the entries again, before the commands that follow a database's
// opening or closing set those that have states of their own.
void applyPackMode(Navigator& nav, bool pack) {
    for (const MenuItem& item : kMenu) {
        if (item.level == 0 || !notInPack(item))
            continue;
        QAction* action = nav.menuAction(QString::fromLatin1(item.array), item.index);
        if (!action)
            continue;
        action->setEnabled(!pack);
        action->setToolTip(pack ? kNotInPack : QString());
        for (QObject* menu : action->associatedObjects())
            if (auto* m = qobject_cast<QMenu*>(menu))
                m->setToolTipsVisible(true);
    }
}

// A pack has no sign-in: it carries the settings it was made under, and opens at its records.
void openPack(Navigator& nav) {
    nav.unloadRecordScreens();
    nav.closeScreen<SignInScreen>();
    try {
        loadGlobals(nav.session(), SignInMode::ReportOptions);
        buildRecordFilter(nav.session());
    } catch (const DbError& e) {
        nav.frontEnd().message(e.message(), Icon::Exclamation);
        return;
    }
    nav.frontEnd().signedIn();
    open<SampleSummaryScreen>(nav);
}

} // namespace

std::span<const MenuItem> mainMenu() {
    return kMenu;
}

void openDatabaseFile(Navigator& nav, const QString& path) {
    applyPackMode(nav, false);
    if (nav.frontEnd().runFileCommand([&] { return openDatabase(nav.session(), path); }) ==
        FileResult::Opened) {
        nav.frontEnd().rememberRecentFile(nav.session().databasePath());
        if (nav.session().isPack())
            openPack(nav);
        else
            nav.showSignIn(SignInMode::SignIn);
    }
    enableFileEntries(nav);
    applyPackMode(nav, nav.session().isOpen() && nav.session().isPack());
    nav.restoreCaption();
}

void fillRecentMenu(Navigator& nav, QMenu& menu) {
    menu.clear();
    const QStringList files = nav.frontEnd().recentFiles();
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString path = files.at(i);
        QAction* entry =
            menu.addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(path)));
        entry->setObjectName(QStringLiteral("mnuRecent(%1)").arg(i));
        entry->setEnabled(QFileInfo::exists(path));
        QObject::connect(entry, &QAction::triggered, &menu,
                         [&nav, path] { openDatabaseFile(nav, path); });
    }
    if (files.isEmpty())
        menu.addAction(QStringLiteral("(none)"))->setEnabled(false);
}

} // namespace orv::ui
