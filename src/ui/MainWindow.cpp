#include "MainWindow.h"

#include "CommentsScreen.h"
#include "FindScreen.h"
#include "HelpWindow.h"
#include "Icons.h"
#include "ImportScreen.h"
#include "MainMenu.h"
#include "ReportLayout.h"
#include "ReportValidationScreen.h"
#include "ReportViewerScreen.h"
#include "SampleSummaryScreen.h"
#include "SignInScreen.h"
#include "SourceTableScreen.h"
#include "TipScreen.h"
#include "WorksheetScreen.h"

#include "reports/ReportEngine.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

namespace orv::ui {

namespace {

const QString kCaption = QStringLiteral("ORV Data Validation System.");
const QString kPlaceKey = QStringLiteral("window/main");

constexpr int entry(MenuEntry e) {
    return static_cast<int>(e);
}

QString actionName(const QString& array, int index) {
    return index < 0 ? array : QStringLiteral("%1(%2)").arg(array).arg(index);
}

template <typename... Screens> void closeScreens(Navigator& nav) {
    (nav.closeScreen<Screens>(), ...);
}

} // namespace

MainWindow::MainWindow(const QString& programDir, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("U001"));
    setWindowTitle(kCaption);
    setWindowIcon(programIcon());
    mFrontEnd = std::make_unique<GuiFrontEnd>(*this);
    mSession = std::make_unique<Session>(programDir, mFrontEnd.get());

    mArea = new ScreenArea(*this, *mFrontEnd);
    setCentralWidget(mArea);
    buildMenus();
    addRecentMenu();
    buildStatusBar();
    resize(960, 680);
    restorePlace();

    mFrontEnd->setStatus(3, QStringLiteral("DB: ") + mSession->databaseName());
    setDataMenus(false);
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    delete mHelp;
    // Screens hold references to the session: let them go first.
    delete mArea;
    mArea = nullptr;
}

void MainWindow::buildMenus() {
    QMenu* top = nullptr;
    QMenu* sub = nullptr;
    const std::span<const MenuItem> menu = mainMenu();
    for (std::size_t i = 0; i < menu.size(); ++i) {
        const MenuItem& item = menu[i];
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
            const bool opensSubMenu = i + 1 < menu.size() && menu[i + 1].level == 2;
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
        if (item.off)
            action->setVisible(false);
        if (item.entry == entry(MenuEntry::ShowTipsAtStartup))
            action->setCheckable(true);
        if (item.entry != kNoEntry)
            mEntries.insert(item.entry, action);
        mActions.insert(name, action);
        if (item.command) {
            const MenuCommand command = item.command;
            connect(action, &QAction::triggered, this, [this, command] {
                command(*this);
                if (mEnded)
                    return;
                mFrontEnd->setBusy(false);
                mFrontEnd->setStatus(1, QString());
            });
        }
    }
}

// After File > Open: the databases opened last, listed afresh each time the menu opens.
void MainWindow::addRecentMenu() {
    QAction* saveAs = menuAction(QStringLiteral("mnuFile"), 2);
    auto* recent = new QMenu(QStringLiteral("Open &Recent"), this);
    recent->setObjectName(QStringLiteral("mnuRecent"));
    recent->menuAction()->setObjectName(QStringLiteral("mnuRecent"));
    menuBar()
        ->findChild<QMenu*>(QStringLiteral("filem"))
        ->insertAction(saveAs, recent->menuAction());
    connect(recent, &QMenu::aboutToShow, this, [this, recent] { fillRecentMenu(*this, *recent); });
    fillRecentMenu(*this, *recent);
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

void MainWindow::restorePlace() {
    // A place on a display that is gone is moved onto one that is there.
    const QByteArray kept = mFrontEnd->storedGeometry(kPlaceKey);
    if (!kept.isEmpty())
        restoreGeometry(kept);
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

QWidget* MainWindow::loadedScreen(const QString& id) const {
    for (QWidget* open : openScreens()) {
        if (open->objectName() == id)
            return open;
    }
    return nullptr;
}

void MainWindow::unloadRecordScreens() {
    closeScreens<FindScreen, WorksheetScreen, SampleSummaryScreen, CommentsScreen,
                 SourceTableScreen, ReportValidationScreen, ReportViewerScreen>(*this);
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
    } catch (const Error& e) {
        error = e.message();
    }
    mFrontEnd->setBusy(false);
    mFrontEnd->setStatus(1, QString());
    if (!error.isEmpty()) {
        mFrontEnd->message(QStringLiteral("Error in viewing report ") + error, Icon::Exclamation);
        return;
    }
    auto* viewer = screenOrNew<ReportViewerScreen>();
    viewer->showReport(std::move(layout));
    showForm(viewer);
}

bool MainWindow::isImporting() const {
    auto* import = Navigator::screen<ImportScreen>();
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
    mArea->closeAllSubWindows();
    close();
    emit programEnded();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!mEnded && confirmExit()) {
        event->ignore();
        return;
    }
    event->accept();
    mFrontEnd->storeGeometry(kPlaceKey, saveGeometry());
    if (!mEnded) {
        mEnded = true;
        mArea->closeAllSubWindows();
        emit programEnded();
    }
}

void MainWindow::showSignIn(SignInMode mode) {
    if (mode == SignInMode::SignIn)
        unloadRecordScreens();
    closeScreen<SignInScreen>();
    showForm(new SignInScreen(*this, mode));
}

void MainWindow::showTipOfTheDay() {
    showForm(screenOrNew<TipScreen>());
}

void MainWindow::restoreCaption() {
    const bool pack = mSession->isOpen() && mSession->isPack();
    setWindowTitle(pack ? kCaption + QStringLiteral(" - ") + mSession->pack()->title() : kCaption);
}

void MainWindow::setMenuBarEnabled(bool enabled) {
    menuBar()->setEnabled(enabled);
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
    mHelp->present(page);
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

} // namespace orv::ui
