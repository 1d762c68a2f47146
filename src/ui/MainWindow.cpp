#include "MainWindow.h"

#include "AboutScreen.h"
#include "CommentsScreen.h"
#include "ContactScreen.h"
#include "HelpWindow.h"
#include "Icons.h"
#include "ImportScreen.h"
#include "ReportLayout.h"
#include "ReportValidationScreen.h"
#include "ReportViewerScreen.h"
#include "SampleSummaryScreen.h"
#include "ScreenGeometry.h"
#include "SignInScreen.h"
#include "SourceTableScreen.h"
#include "SwitchScreen.h"
#include "TipScreen.h"

#include "exports/ParticipantGroups.h"
#include "exports/SummaryXml.h"
#include "import/ImportDriver.h"
#include "reports/ReportEngine.h"
#include "session/DatabaseFiles.h"
#include "validation/ReportValidation.h"
#include "worksheet/ErrorRates.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QWindow>

namespace orv::ui {

namespace {

const QString kCaption = QStringLiteral("ORV Data Validation System.");
const QString kModal = QStringLiteral("Modal");

constexpr int kNoEntry = -1;
constexpr int entry(MenuEntry e) {
    return static_cast<int>(e);
}

// The menu tree: level 0 is a menu of the bar, 1 an entry of it, 2 an entry of the
// sub-menu opened by the level-1 entry above it. Index -1 marks a menu that is no array.
struct MenuItem {
    int level;
    const char* array;
    int index;
    const char* caption;
    bool off;
    void (MainWindow::*command)();
    int entry;
};

const MenuItem kMenu[] = {
    {0, "filem", 0, "&File", false, nullptr, kNoEntry},
    {1, "mnuFile", 0, "New", false, &MainWindow::fileNew, entry(MenuEntry::FileNew)},
    {1, "mnuFile", 1, "Open", false, &MainWindow::fileOpen, entry(MenuEntry::FileOpen)},
    {1, "mnuFile", 2, "Save As", false, &MainWindow::fileSaveAs, entry(MenuEntry::FileSaveAs)},
    {1, "mnuFile", 3, "-", false, nullptr, kNoEntry},
    {1, "mnuFile", 4, "Show Tips At Startup", false, &MainWindow::toggleShowTips,
     entry(MenuEntry::ShowTipsAtStartup)},
    {1, "mnuFile", 5, "-", false, nullptr, kNoEntry},
    {1, "mnuFile", 6, "E&xit", false, &MainWindow::fileExit, kNoEntry},

    {0, "mnuImpData", 0, "&Import Data", false, nullptr, entry(MenuEntry::ImportData)},
    {1, "mnuImpDat", 0, "&Import from Extract File", false, &MainWindow::importFromExtract,
     kNoEntry},
    {1, "mnuImpDat", 1, "View latest Error &Report", false, &MainWindow::showImportErrorFile,
     kNoEntry},
    {1, "mnuImpDat", 2, "-", false, nullptr, kNoEntry},
    {1, "mnuImpDat", 3, "View &Duplicates", false, &MainWindow::viewDuplicates, kNoEntry},
    {1, "mnuImpDat", 4, "-", false, nullptr, kNoEntry},
    {1, "mnuImpDat", 5, "Source Table &Record Layout", false, &MainWindow::sourceTableLayout,
     kNoEntry},
    // Shown: the counts it describes can be imported from this menu.
    {1, "mnuImpDat", 6, "Reported Counts Record &Layout", false, &MainWindow::reportedCountsLayout,
     kNoEntry},
    {1, "mnuImpDat", 7, "-", false, nullptr, kNoEntry},
    {1, "mnuImpDat", 8, "&View Source Table", false, &MainWindow::viewSourceTable, kNoEntry},
    // Reported counts come in through the import screen in its counts mode.
    {1, "mnuImpDat", 9, "-", false, nullptr, kNoEntry},
    {1, "mnuImpDat", 10, "Import Reported &Counts", false, &MainWindow::importReportedCounts,
     kNoEntry},

    {0, "mnuChangepop", 0, "Change Reporting &Options", false, nullptr,
     entry(MenuEntry::ChangeReportingOptions)},
    {1, "mnuCPop", 0, "Change &Population", true, &MainWindow::changePopulation, kNoEntry},
    {1, "mnuCPop", 1, "Change &Reporting Options", false, &MainWindow::changeReportingOptions,
     kNoEntry},

    {0, "ps", 0, "&Report Validation", false, nullptr, entry(MenuEntry::ReportValidation)},
    {1, "mnuRptVal", 0, "&View Performance Outcome Groups", false, &MainWindow::viewOutcomeGroups,
     entry(MenuEntry::ViewOutcomeGroups)},
    {1, "mnuRptVal", 1, "&View Performance Report", false, &MainWindow::viewPerformanceReport,
     entry(MenuEntry::ViewPerformanceReport)},
    {1, "mnuRptVal", 2, "-", false, nullptr, kNoEntry},
    {1, "mnuRptVal", 3, "Export Performance Outcome Groups", false,
     &MainWindow::exportOutcomeGroups, kNoEntry},
    {1, "mnuRptVal", 4, "Upload RV Summary", true, nullptr, kNoEntry},

    {0, "mnuwks", 0, "Data &Validation", false, nullptr, entry(MenuEntry::DataValidation)},
    {1, "mnuwks1", 0, "Edit Worksheets", false, &MainWindow::editWorksheets, kNoEntry},
    {1, "mnuwks1", 1, "Print Worksheets", false, &MainWindow::printWorksheets, kNoEntry},
    {1, "mnuwks1", 2, "Print Summary/Analytical Report", false, &MainWindow::printSummaryReport,
     kNoEntry},
    {1, "mnuwks1", 3, "Print Sampled Counts Report", false, &MainWindow::printSampledCounts,
     kNoEntry},
    {1, "mnuwks1", 4, "-", false, nullptr, kNoEntry},
    {1, "mnuwks1", 5, "Summary/Analytical Comments", false, &MainWindow::summaryComments, kNoEntry},
    {1, "mnuwks1", 6, "-", false, nullptr, kNoEntry},
    {1, "mnuwks1", 7, "Export Summary/Analytical", false, &MainWindow::exportSummary, kNoEntry},

    {0, "mnuUtils", 0, "&Utilities", false, nullptr, entry(MenuEntry::Utilities)},
    {1, "mnuUtilities", 0, "&Compact Database", false, &MainWindow::compactDatabase,
     entry(MenuEntry::CompactDatabase)},
    // Marked off, yet enabled with every opened database: shown, disabled until then.
    {1, "mnuUtilities", 1, "&Fix Database", false, &MainWindow::fixDatabase,
     entry(MenuEntry::FixDatabase)},
    {1, "mnuUtilities", 2, "-", true, nullptr, kNoEntry},
    {1, "mnuUtilities", 3, "&Switch Database", true, &MainWindow::switchDatabase, kNoEntry},

    {0, "mnuSetup", 0, "&Admin", true, nullptr, kNoEntry},
    {1, "mnuSetupAdmin", 0, "&Setup", false, nullptr, kNoEntry},
    {2, "mnuSetupAdminSetup", 0, "Install &Update", false, nullptr, kNoEntry},
    {2, "mnuSetupAdminSetup", 1, "&Update Startup Settings", false, nullptr, kNoEntry},
    {2, "mnuSetupAdminSetup", 2, "&Security", false, nullptr, kNoEntry},
    {2, "mnuSetupAdminSetup", 3, "Setup &User Account", false, nullptr, kNoEntry},

    {0, "scrcust", -1, "&Window", false, nullptr, kNoEntry},
    {1, "custds", 0, "Cascade", false, &MainWindow::cascade, kNoEntry},
    {1, "custds", 1, "Tile Horizontal", false, &MainWindow::tileHorizontal, kNoEntry},
    {1, "custds", 2, "Tile Vertical", false, &MainWindow::tileVertical, kNoEntry},

    {0, "mnuHelp", -1, "&Help", false, nullptr, kNoEntry},
    {1, "mnuHelpHelp", 0, "&Help Contents", false, &MainWindow::helpContents, kNoEntry},
    {1, "mnuHelpHelp", 1, "&Search for Help on..", true, nullptr, kNoEntry},
    {1, "mnuHelpHelp", 2, "&Help on using help..", true, nullptr, kNoEntry},
    {1, "mnuHelpHelp", 4, "-", false, nullptr, kNoEntry},
    {1, "mnuHelpHelp", 5, "Contacting &Corvath", false, &MainWindow::contactUs, kNoEntry},
    {1, "mnuHelpHelp", 6, "-", false, nullptr, kNoEntry},
    {1, "mnuHelpHelp", 7, "&About", false, &MainWindow::about, kNoEntry},
};

QString actionName(const QString& array, int index) {
    return index < 0 ? array : QStringLiteral("%1(%2)").arg(array).arg(index);
}

} // namespace

template <typename Screen> Screen* MainWindow::screenOf(const QString& id) {
    if (auto* open = qobject_cast<Screen*>(loadedScreen(id)))
        return open;
    return new Screen(*this);
}

MainWindow::MainWindow(const QString& programDir, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("U001"));
    setWindowTitle(kCaption);
    setWindowIcon(programIcon());
    mFrontEnd = std::make_unique<GuiFrontEnd>(*this);
    mSession = std::make_unique<Session>(programDir, mFrontEnd.get());

    mMdi = new QMdiArea(this);
    mMdi->setObjectName(QStringLiteral("MDIClient"));
    mMdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mMdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mMdi);
    buildMenus();
    buildStatusBar();
    resize(960, 680);

    mFrontEnd->setStatus(3, QStringLiteral("DB: ") + mSession->databaseName());
    setDataMenus(false);
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    delete mHelp;
    // Screens hold references to the session: let them go first.
    delete mMdi;
    mMdi = nullptr;
}

void MainWindow::buildMenus() {
    QMenu* top = nullptr;
    QMenu* sub = nullptr;
    const int count = static_cast<int>(std::size(kMenu));
    for (int i = 0; i < count; ++i) {
        const MenuItem& item = kMenu[i];
        const QString name = actionName(QString::fromLatin1(item.array), item.index);
        const QString caption = QString::fromLatin1(item.caption);
        QAction* action = nullptr;
        if (item.level == 0) {
            top = menuBar()->addMenu(caption);
            top->setObjectName(QString::fromLatin1(item.array));
            action = top->menuAction();
            sub = nullptr;
        } else {
            QMenu* into = item.level == 2 ? sub : top;
            const bool opensSubMenu = i + 1 < count && kMenu[i + 1].level == 2;
            if (caption == QLatin1String("-")) {
                action = into->addSeparator();
            } else if (opensSubMenu) {
                sub = into->addMenu(caption);
                sub->setObjectName(QString::fromLatin1(item.array));
                action = sub->menuAction();
            } else {
                action = into->addAction(caption);
            }
        }
        action->setObjectName(name);
        // Entries that are off are not part of the program as delivered.
        if (item.off)
            action->setVisible(false);
        if (item.entry == entry(MenuEntry::ShowTipsAtStartup))
            action->setCheckable(true);
        if (item.entry != kNoEntry)
            mEntries.insert(item.entry, action);
        mActions.insert(name, action);
        if (item.command) {
            const auto command = item.command;
            connect(action, &QAction::triggered, this, [this, command] {
                (this->*command)();
                if (mEnded)
                    return;
                mFrontEnd->setBusy(false);
                mFrontEnd->setStatus(1, QString());
            });
        }
    }
}

void MainWindow::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    for (int i = 0; i < 5; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QStringLiteral("panel%1").arg(i + 1));
        label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        label->setContentsMargins(4, 0, 4, 0);
        mPanels[i] = label;
        if (i == 0)
            bar->addWidget(label, 1);
        else
            bar->addPermanentWidget(label);
    }
    // Panel 4 carries nothing; 2 and 5 show once there is a sign-in.
    for (int i : {1, 3, 4})
        mPanels[i]->hide();
}

QAction* MainWindow::menuAction(const QString& array, int index) const {
    return mActions.value(actionName(array, index));
}

QAction* MainWindow::action(MenuEntry e) const {
    return mEntries.value(entry(e));
}

QLabel* MainWindow::statusPanel(int panel) const {
    return (panel >= 1 && panel <= 5) ? mPanels[panel - 1] : nullptr;
}

void MainWindow::setDataMenus(bool enabled) {
    mFrontEnd->setDataMenus(enabled);
}

void MainWindow::prepareStartUp() {
    setDataMenus(false);
    action(MenuEntry::Utilities)->setEnabled(false);
}

void MainWindow::enableFileEntries() {
    for (MenuEntry e : {MenuEntry::FileNew, MenuEntry::FileOpen, MenuEntry::FileSaveAs})
        action(e)->setEnabled(true);
}

QMdiSubWindow* MainWindow::subWindowOf(const QWidget* screen) const {
    return screen ? qobject_cast<QMdiSubWindow*>(screen->parentWidget()) : nullptr;
}

void MainWindow::showForm(QWidget* screen, const QString& mode) {
    mFrontEnd->setBusy(true);
    mTag = mode;
    if (mode == kModal) {
        mFrontEnd->setBusy(false);
        if (auto* dialog = qobject_cast<QDialog*>(screen)) {
            if (!dialog->parentWidget())
                dialog->setParent(this, dialog->windowFlags() | Qt::Dialog);
            centerForm(dialog);
            dialog->exec();
        } else {
            screen->setParent(this, Qt::Dialog);
            screen->setAttribute(Qt::WA_DeleteOnClose);
            screen->setWindowModality(Qt::ApplicationModal);
            centerForm(screen);
            QEventLoop loop;
            connect(screen, &QObject::destroyed, &loop, &QEventLoop::quit);
            screen->show();
            loop.exec();
        }
    } else {
        QMdiSubWindow* sub = subWindowOf(screen);
        if (!sub) {
            const QSize size = screen->size();
            sub = mMdi->addSubWindow(screen);
            sub->setAttribute(Qt::WA_DeleteOnClose);
            sub->setWindowIcon(windowIcon());
            sub->ensurePolished();
            const QMargins frame = sub->contentsMargins();
            sub->resize(size.grownBy(frame));
            centerForm(screen);
        }
        sub->show();
        screen->show();
        mMdi->setActiveSubWindow(sub);
    }
    mFrontEnd->setBusy(false);
}

void MainWindow::centerForm(QWidget* screen) {
    if (isMinimized())
        return;
    if (QMdiSubWindow* sub = subWindowOf(screen)) {
        if (!sub->isMaximized())
            sub->move(centeredIn(mMdi->viewport()->size(), sub->size()));
    } else {
        const QScreen* display = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        if (display) {
            const QRect area = display->availableGeometry();
            screen->move(area.topLeft() + QPoint((area.width() - screen->width()) / 2,
                                                 (area.height() - screen->height()) / 2));
        }
    }
    mFrontEnd->setStatus(1, QString());
    mFrontEnd->setBusy(false);
}

QWidget* MainWindow::loadedScreen(const QString& id) const {
    if (!mMdi)
        return nullptr;
    for (QMdiSubWindow* sub : mMdi->subWindowList()) {
        if (sub->widget() && sub->widget()->objectName() == id)
            return sub->widget();
    }
    // A modal screen is a window of its own over the frame.
    for (QWidget* child : findChildren<QWidget*>(id, Qt::FindDirectChildrenOnly)) {
        if (child->isWindow())
            return child;
    }
    return nullptr;
}

void MainWindow::unloadScreen(const QString& id) {
    QWidget* open = loadedScreen(id);
    if (!open)
        return;
    QMdiSubWindow* sub = subWindowOf(open);
    if (!sub) {
        open->hide();
        open->deleteLater();
        return;
    }
    // Out of the frame at once, so that a screen of the same id can open in its place.
    sub->hide();
    mMdi->removeSubWindow(sub);
    sub->deleteLater();
}

void MainWindow::hideForm(QWidget* screen) {
    if (QMdiSubWindow* sub = subWindowOf(screen))
        sub->hide();
    else if (screen)
        screen->hide();
}

void MainWindow::unloadRecordScreens() {
    for (const char* id : {"U019", "U015", "U010", "U018", "U002", "U006", "U005"})
        unloadScreen(QString::fromLatin1(id));
    // As when the list is closed by its user.
    mSampleList.worksheetVisited = false;
}

void MainWindow::printReport(const QString& id, const QString& obs) {
    mFrontEnd->setBusy(true);
    mFrontEnd->setStatus(1, QStringLiteral("Printing Report..."));
    std::unique_ptr<ReportLayout> layout;
    QString error;
    try {
        layout = std::make_unique<ReportLayout>(std::make_unique<ReportRun>(*mSession, id, obs));
        // The first pages now, so that a fault of the definition is told before the viewer opens.
        layout->layoutMore();
    } catch (const ReportError& e) {
        error = e.message();
    } catch (const DbError& e) {
        error = e.message();
    }
    mFrontEnd->setBusy(false);
    mFrontEnd->setStatus(1, QString());
    if (!error.isEmpty()) {
        mFrontEnd->message(QStringLiteral("Error in viewing report ") + error, Icon::Exclamation);
        return;
    }
    auto* viewer = screenOf<ReportViewerScreen>(QStringLiteral("U005"));
    viewer->showReport(std::move(layout));
    showForm(viewer);
}

bool MainWindow::isImporting() const {
    auto* import = qobject_cast<ImportScreen*>(loadedScreen(QStringLiteral("U011")));
    return import && import->isImporting();
}

bool MainWindow::confirmExit() {
    if (isImporting()) {
        mFrontEnd->message(QStringLiteral("An import is running. Cancel it before you exit."),
                           Icon::Exclamation);
        return true;
    }
    if (!mFrontEnd->askYesNo(QStringLiteral("Are you sure you want to exit ORV?"), Icon::Question))
        return true;
    try {
        clearFiltersAtExit(*mSession);
    } catch (const DbError& e) {
        mFrontEnd->message(e.message(), Icon::Exclamation);
    }
    return false;
}

void MainWindow::endProgram() {
    if (mEnded)
        return;
    mEnded = true;
    mSession->closeConnection();
    mFrontEnd->setBusy(false);
    mMdi->closeAllSubWindows();
    close();
    emit programEnded();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!mEnded && confirmExit()) {
        event->ignore();
        return;
    }
    event->accept();
    if (!mEnded) {
        mEnded = true;
        mMdi->closeAllSubWindows();
        emit programEnded();
    }
}

void MainWindow::showSignIn(SignInMode mode, const QString& formMode) {
    // A sign-in follows every database created, opened or switched to.
    if (mode == SignInMode::SignIn)
        unloadRecordScreens();
    unloadScreen(QStringLiteral("U003"));
    auto* screen = new SignInScreen(*this, mode);
    showForm(screen, formMode);
}

void MainWindow::showTipOfTheDay() {
    showForm(screenOf<TipScreen>(QStringLiteral("U014")));
}

// File

void MainWindow::fileNew() {
    const QString name = mFrontEnd->saveFileName(QStringLiteral("Create Database."));
    // A new database always starts with a sign-in, whatever screen was opened before.
    if (createDatabase(*mSession, name) == FileResult::Opened)
        showSignIn(SignInMode::SignIn);
    enableFileEntries();
}

void MainWindow::fileOpen() {
    const QString name = mFrontEnd->openFileName(QStringLiteral("Open"));
    if (openDatabase(*mSession, name) == FileResult::Opened)
        showSignIn(SignInMode::SignIn);
    enableFileEntries();
}

void MainWindow::fileSaveAs() {
    const QString name = mFrontEnd->saveFileName(QStringLiteral("Save As"));
    // The command tells its outcome itself; the window is the same whatever it was.
    static_cast<void>(saveDatabaseAs(*mSession, name));
}

void MainWindow::toggleShowTips() {
    QAction* entry = action(MenuEntry::ShowTipsAtStartup);
    const bool show = entry->isChecked();
    // Without a database there is nowhere to keep the choice; sign-in sets the mark again.
    if (!mSession->isOpen())
        return;
    try {
        setShowTips(*mSession, show);
    } catch (const DbError& e) {
        entry->setChecked(!show);
        mFrontEnd->message(e.message(), Icon::Exclamation);
    }
}

void MainWindow::fileExit() {
    if (!confirmExit())
        endProgram();
}

// Import Data

void MainWindow::importFromExtract() {
    auto* screen = screenOf<ImportScreen>(QStringLiteral("U011"));
    showForm(screen);
    // Every time the command brings the screen up it asks for a file, as on its first opening.
    screen->startImport();
}

void MainWindow::importReportedCounts() {
    auto* screen = screenOf<ImportScreen>(QStringLiteral("U011"));
    showForm(screen, QStringLiteral("Counts"));
    screen->startImport();
}

void MainWindow::showImportErrorFile() {
    orv::showImportErrorFile(*mSession);
}

// Change Reporting Options

void MainWindow::changePopulation() {
    showSignIn(SignInMode::SignIn);
}

void MainWindow::changeReportingOptions() {
    showSignIn(SignInMode::ReportOptions, QStringLiteral("1"));
}

void MainWindow::viewSourceTable() {
    showForm(screenOf<SourceTableScreen>(QStringLiteral("U002")));
}

void MainWindow::viewOutcomeGroups() {
    showForm(screenOf<ReportValidationScreen>(QStringLiteral("U006")));
}

void MainWindow::viewPerformanceReport() {
    mFrontEnd->setBusy(true);
    bool computed = true;
    try {
        ComputeReportValidation(*mSession);
    } catch (const DbError& e) {
        mFrontEnd->message(e.message(), Icon::Exclamation);
        computed = false;
    }
    mFrontEnd->setBusy(false);
    if (computed)
        printReport(QStringLiteral("R003-1"));
}

void MainWindow::viewDuplicates() {
    printReport(QStringLiteral("R002-1"));
}

void MainWindow::sourceTableLayout() {
    printReport(QStringLiteral("R001-1"));
}

void MainWindow::reportedCountsLayout() {
    printReport(QStringLiteral("R001-2"));
}

void MainWindow::exportOutcomeGroups() {
    // The export lets the window paint between records: nothing else may use the database.
    menuBar()->setEnabled(false);
    // The command tells its outcome itself; the window is the same whatever it was.
    static_cast<void>(ExportParticipantGroups(*mSession));
    menuBar()->setEnabled(true);
}

// Data Validation

void MainWindow::editWorksheets() {
    // While a worksheet is open the list is hidden behind it.
    if (QWidget* open = loadedScreen(QStringLiteral("U015"))) {
        showForm(open);
        return;
    }
    showForm(screenOf<SampleSummaryScreen>(QStringLiteral("U010")));
}

void MainWindow::printWorksheets() {
    const QString popType = mSession->settings().popType;
    printReport(QStringLiteral("R005-") + (popType.isEmpty() ? QStringLiteral("1") : popType));
}

void MainWindow::printSummaryReport() {
    try {
        ComputeErrorRates(*mSession);
    } catch (const DbError& e) {
        mFrontEnd->message(e.message(), Icon::Exclamation);
        return;
    }
    printReport(QStringLiteral("R004-1"));
}

void MainWindow::printSampledCounts() {
    printReport(QStringLiteral("R006-1"));
}

void MainWindow::summaryComments() {
    showForm(screenOf<CommentsScreen>(QStringLiteral("U018")));
}

void MainWindow::exportSummary() {
    try {
        ComputeErrorRates(*mSession);
    } catch (const DbError& e) {
        mFrontEnd->message(e.message(), Icon::Exclamation);
        return;
    }
    // The command tells its outcome itself; the window is the same whatever it was.
    static_cast<void>(ExportSummaryXml(*mSession));
}

// Utilities

void MainWindow::compactDatabase() {
    // The command tells its outcome itself; the window is the same whatever it was.
    static_cast<void>(compactDatabaseFile(*mSession));
}

void MainWindow::fixDatabase() {
    // The command tells its outcome itself; the window is the same whatever it was.
    static_cast<void>(repairDatabaseFile(*mSession));
}

void MainWindow::switchDatabase() {
    showForm(screenOf<SwitchScreen>(QStringLiteral("U012")));
}

// Window

void MainWindow::cascade() {
    mMdi->cascadeSubWindows();
}

void MainWindow::tileHorizontal() {
    tile(Qt::Horizontal);
}

void MainWindow::tileVertical() {
    tile(Qt::Vertical);
}

// Horizontal tiles lie one above the other across the whole width; vertical ones side by side.
void MainWindow::tile(Qt::Orientation orientation) {
    QList<QMdiSubWindow*> open;
    for (QMdiSubWindow* sub : mMdi->subWindowList()) {
        if (sub->isVisible() && !sub->isMinimized())
            open << sub;
    }
    if (open.isEmpty())
        return;
    const QRect area = mMdi->viewport()->rect();
    const int n = static_cast<int>(open.size());
    for (int i = 0; i < n; ++i) {
        open[i]->showNormal();
        if (orientation == Qt::Horizontal) {
            const int top = area.height() * i / n;
            open[i]->setGeometry(0, top, area.width(), area.height() * (i + 1) / n - top);
        } else {
            const int left = area.width() * i / n;
            open[i]->setGeometry(left, 0, area.width() * (i + 1) / n - left, area.height());
        }
    }
}

// Help

void MainWindow::helpContents() {
    showHelp();
}

HelpWindow* MainWindow::helpWindow() const {
    return mHelp;
}

bool MainWindow::showHelp(const QString& page) {
    if (!mHelp) {
        const QString index =
            findGuide(mSession->programDir(), QCoreApplication::applicationDirPath());
        if (index.isEmpty()) {
            mFrontEnd->message(
                QStringLiteral("Help system is unavailable. Please consult your ORV manual."),
                Icon::Exclamation);
            return false;
        }
        // A window of its own rather than a child of the frame, so that it can stand beside it.
        mHelp = new HelpWindow(index);
        mHelp->setAttribute(Qt::WA_DeleteOnClose);
    }
    mHelp->openPage(page);
    mHelp->show();
    // Asked for from a modal screen (Find., the calendar, a question), the help window would be
    // blocked like every other window: it belongs to that screen for as long as it is open.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != mHelp) {
        if (mHelp->windowHandle() && modal->windowHandle())
            mHelp->windowHandle()->setTransientParent(modal->windowHandle());
    } else if (mHelp->windowHandle()) {
        mHelp->windowHandle()->setTransientParent(nullptr);
    }
    mHelp->raise();
    mHelp->activateWindow();
    return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return QMainWindow::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier || key->isAutoRepeat())
        return QMainWindow::eventFilter(watched, event);
    auto* widget = static_cast<QWidget*>(watched);
    if (mHelp && (widget == mHelp || mHelp->isAncestorOf(widget)))
        return QMainWindow::eventFilter(watched, event);
    // Anything that belongs to no screen (a file dialog, a message box) is the frame's.
    QString id = screenIdOf(widget);
    if (guidePageFor(id).isEmpty())
        id = objectName();
    showHelp(guidePageFor(id));
    return true;
}

void MainWindow::contactUs() {
    showForm(screenOf<ContactScreen>(QStringLiteral("U008")));
}

void MainWindow::about() {
    showForm(screenOf<AboutScreen>(QStringLiteral("U009")));
}

} // namespace orv::ui
