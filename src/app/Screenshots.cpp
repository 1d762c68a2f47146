#include "Screenshots.h"

#include "AboutScreen.h"
#include "CalendarScreen.h"
#include "HelpWindow.h"
#include "MainWindow.h"
#include "ReportValidationScreen.h"
#include "SampleListModel.h"
#include "SampleSummaryScreen.h"
#include "SplashScreen.h"
#include "SystemInfoDialog.h"
#include "WorksheetScreen.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace orv::app {

namespace {

void settle(int ms = 150) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs a menu entry as a click on it would.
void run(ui::MainWindow& window, const char* array, int index) {
    window.menuAction(QString::fromLatin1(array), index)->trigger();
}

struct Shooter {
    QDir dir;
    ScreenHook onScreen;
    int failures = 0;

    // With `titled`, the window's title drawn above it: the virtual display has no window
    // manager to draw one.
    void save(QWidget* widget, const QString& name, bool titled = false) {
        if (!widget) {
            std::fprintf(stderr, "screenshot: no screen for %s\n", qPrintable(name));
            ++failures;
            return;
        }
        settle();
        if (onScreen)
            onScreen(widget, name);
        const QString path = dir.filePath(name + QStringLiteral(".png"));
        QPixmap picture = widget->grab();
        if (titled) {
            const int bar = widget->fontMetrics().height() + 12;
            QPixmap framed(picture.width(), picture.height() + bar);
            QPainter painter(&framed);
            painter.fillRect(0, 0, framed.width(), bar, QColor(0x33, 0x4e, 0x7a));
            painter.setPen(Qt::white);
            painter.setFont(widget->font());
            painter.drawText(QRect(0, 0, framed.width(), bar), Qt::AlignCenter,
                             widget->windowTitle());
            painter.drawPixmap(0, bar, picture);
            painter.end();
            picture = framed;
        }
        if (!picture.save(path)) {
            std::fprintf(stderr, "screenshot: cannot write %s\n", qPrintable(path));
            ++failures;
            return;
        }
        std::printf("%s\n", qPrintable(path));
    }
};

ui::SampleSummaryScreen* sampleList(ui::MainWindow& window) {
    return qobject_cast<ui::SampleSummaryScreen*>(window.loadedScreen(QStringLiteral("U010")));
}

// Opens a list row's worksheet and clicks its boxes as a validator would: the first `lines`
// lines, Fail on those in `failed` and Pass on the others (lines that cannot be marked ignore
// the click).
ui::WorksheetScreen* markRecord(ui::MainWindow& window, int row, int lines,
                                std::initializer_list<int> failed) {
    ui::SampleSummaryScreen* list = sampleList(window);
    if (!list || row >= list->model()->rowCount())
        return nullptr;
    list->openWorksheet(row);
    auto* worksheet =
        qobject_cast<ui::WorksheetScreen*>(window.loadedScreen(QStringLiteral("U015")));
    if (!worksheet)
        return nullptr;
    for (int i = 0; i < lines; ++i) {
        const bool fail = std::find(failed.begin(), failed.end(), i) != failed.end();
        const QString name = QStringLiteral("Check%1(%2)").arg(fail ? 2 : 1).arg(i);
        if (auto* box = worksheet->findChild<QCheckBox*>(name); box && box->isEnabled())
            box->click();
    }
    worksheet->setCurrentLine(lines > 0 ? lines - 1 : 0);
    return worksheet;
}

void clickButton(QWidget* screen, const char* name) {
    if (!screen)
        return;
    if (auto* button = screen->findChild<QPushButton*>(QString::fromLatin1(name)))
        button->click();
}

// Data Validation: a few records marked through their worksheets, the list with them, and the
// summary comments.
void shootWorksheets(ui::MainWindow& window, Shooter& shoot) {
    run(window, "mnuwks1", 0); // Edit Worksheets
    clickButton(markRecord(window, 0, kElementCount, {1}), "cmdSave");
    clickButton(markRecord(window, 2, kElementCount, {}), "cmdSave");
    clickButton(markRecord(window, 3, 9, {0, 4}), "cmdSave");
    clickButton(markRecord(window, 5, kElementCount, {7, 12}), "cmdSave");
    ui::WorksheetScreen* open = markRecord(window, 6, 10, {2});
    shoot.save(open, QStringLiteral("U015"));
    clickButton(open, "cmdSave");
    shoot.save(sampleList(window), QStringLiteral("U010"));
    shoot.save(&window, QStringLiteral("U001-worksheets"));

    run(window, "mnuwks1", 5); // Summary/Analytical Comments
    QWidget* comments = window.loadedScreen(QStringLiteral("U018"));
    if (comments) {
        comments->findChild<QPlainTextEdit*>(QStringLiteral("txtNotes"))
            ->setPlainText(QStringLiteral(
                "Source documents for the sampled records were pulled from the local offices' "
                "case files.\nWage records for the quarters after exit were checked against "
                "the state's UI wage file; the validators' notes are kept with each worksheet."));
        clickButton(comments, "cmdUpdate");
    }
    shoot.save(comments, QStringLiteral("U018"));
    window.closeForm(window.loadedScreen(QStringLiteral("U018")));
    run(window, "mnuwks1", 2); // Print Summary/Analytical Report
    shoot.save(window.loadedScreen(QStringLiteral("U005")), QStringLiteral("U005-R004-1"));
    window.closeForm(window.loadedScreen(QStringLiteral("U005")));
    run(window, "mnuwks1", 1); // Print Worksheets
    shoot.save(window.loadedScreen(QStringLiteral("U005")), QStringLiteral("U005-R005-1"));
    window.closeForm(window.loadedScreen(QStringLiteral("U005")));
}

// Report Validation: the outcome groups, one group's records sorted, the source table and the
// nine measures.
void shootReportValidation(ui::MainWindow& window, Shooter& shoot) {
    run(window, "mnuRptVal", 0); // View Performance Outcome Groups
    auto* groups =
        qobject_cast<ui::ReportValidationScreen*>(window.loadedScreen(QStringLiteral("U006")));
    shoot.save(groups, QStringLiteral("U006-summary"));
    if (groups) {
        groups->openGroup(0);
        groups->sortDetail(2); // SSN, descending
        shoot.save(groups, QStringLiteral("U006-detail"));
    }
    window.closeForm(window.loadedScreen(QStringLiteral("U006")));
    run(window, "mnuImpDat", 8); // View Source Table
    shoot.save(window.loadedScreen(QStringLiteral("U002")), QStringLiteral("U002"));
    shoot.save(&window, QStringLiteral("U001-source"));
    window.closeForm(window.loadedScreen(QStringLiteral("U002")));
    run(window, "mnuRptVal", 1); // View Performance Report
    shoot.save(window.loadedScreen(QStringLiteral("U005")), QStringLiteral("U005-R003-1"));
    window.closeForm(window.loadedScreen(QStringLiteral("U005")));
}

// Field work: a pack of two records made from the menu, marked in the pack, one of them marked
// otherwise at the office meanwhile, and merged back with that conflict to settle.
void shootFieldWork(ui::MainWindow& window, Shooter& shoot) {
    ui::GuiFrontEnd& fe = window.frontEnd();
    ui::SampleSummaryScreen* list = sampleList(window);
    if (!list || list->model()->rowCount() < 5)
        return;
    const QString obs =
        list->model()->rows()[1].obs + QStringLiteral(", ") + list->model()->rows()[4].obs;
    const QString database = window.session().databasePath();
    const QString pack = window.session().programFile(QStringLiteral("Ann Lee.orvpack"));
    const QString passphrase = QStringLiteral("river-stone-42");

    run(window, "mnuMakePack", -1);
    QWidget* make = window.loadedScreen(QStringLiteral("frmMakePack"));
    if (make) {
        make->findChild<QLineEdit*>(QStringLiteral("txtObs"))->setText(obs);
        make->findChild<QRadioButton*>(QStringLiteral("optObs"))->setChecked(true);
        make->findChild<QLineEdit*>(QStringLiteral("txtValidator"))
            ->setText(QStringLiteral("Ann Lee"));
        // A folder of a user's rather than the scratch one.
        make->findChild<QLineEdit*>(QStringLiteral("txtFile"))
            ->setText(QStringLiteral("/home/ann/Ann Lee-%1.orvpack")
                          .arg(QDate::currentDate().toString(Qt::ISODate)));
    }
    shoot.save(make, QStringLiteral("frmMakePack"));
    if (make) {
        make->findChild<QLineEdit*>(QStringLiteral("txtFile"))->setText(pack);
        fe.setNextPassphrase(passphrase);
        fe.setNextPassphrase(passphrase);
        clickButton(make, "cmdOK");
    }

    fe.setNextFileName(pack);
    fe.setNextPassphrase(passphrase);
    run(window, "mnuFile", 1); // Open
    clickButton(markRecord(window, 0, kElementCount, {3}), "cmdSave");
    clickButton(markRecord(window, 1, 12, {}), "cmdSave");
    shoot.save(&window, QStringLiteral("U001-pack"), true);

    fe.setNextFileName(database);
    run(window, "mnuFile", 1); // Open
    clickButton(window.loadedScreen(QStringLiteral("U003")), "cmdsignin");
    settle();
    window.closeForm(window.loadedScreen(QStringLiteral("U014")));
    run(window, "mnuwks1", 0); // Edit Worksheets
    clickButton(markRecord(window, 1, kElementCount, {5, 9}), "cmdSave");

    fe.setNextFileName(pack);
    fe.setNextPassphrase(passphrase);
    run(window, "mnuMergePack", -1);
    QWidget* conflicts = window.loadedScreen(QStringLiteral("frmMergeConflicts"));
    if (conflicts)
        if (auto* keep = conflicts->findChild<QComboBox*>(QStringLiteral("cboKeep(0)")))
            keep->setCurrentIndex(1);
    shoot.save(conflicts, QStringLiteral("frmMergeConflicts"));
    clickButton(conflicts, "cmdMerge");

    // The record both sides marked: its history tells the office's saves and the pack's.
    if (ui::WorksheetScreen* sheet = markRecord(window, 1, 0, {})) {
        if (auto* tabs = sheet->findChild<QTabWidget*>(QStringLiteral("SSTab1")))
            tabs->setCurrentIndex(tabs->count() - 1);
        shoot.save(sheet, QStringLiteral("U015-history"));
        clickButton(sheet, "cmdExit");
    }
}

// The screens no other picture shows: Find over the sample list, Switch Database and the help.
void shootOtherScreens(ui::MainWindow& window, Shooter& shoot) {
    if (ui::SampleSummaryScreen* list = sampleList(window)) {
        // Find waits for its answer: it is pictured and left from within.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (QWidget* find = window.loadedScreen(QStringLiteral("U019"))) {
                poll.stop();
                shoot.save(find, QStringLiteral("U019"));
                clickButton(find, "cmdExit");
            }
        });
        poll.start(0);
        list->findInColumn(0);
    }
    run(window, "mnuUtilities", 3); // Switch Database
    shoot.save(window.loadedScreen(QStringLiteral("U012")), QStringLiteral("U012"));
    window.closeForm(window.loadedScreen(QStringLiteral("U012")));
    run(window, "mnuHelpHelp", 0); // Help Contents
    shoot.save(window.helpWindow(), QStringLiteral("help"));
    if (window.helpWindow())
        window.helpWindow()->close();
}

} // namespace

int takeScreenshots(ui::MainWindow& window, const QString& folder, const ScreenHook& onScreen) {
    QDir().mkpath(folder);
    Shooter shoot{QDir(folder), onScreen};
    ui::GuiFrontEnd& fe = window.frontEnd();
    fe.setScripted(true);
    settle(300);
    shoot.save(&window, QStringLiteral("U001-start"));

    {
        ui::SplashScreen splash(window.session().programDir());
        splash.show();
        shoot.save(&splash, QStringLiteral("U000"));
        splash.hide();
    }

    const QString db = window.session().programFile(QStringLiteral("screenshot.mdb"));
    fe.setNextFileName(db);
    fe.setNextAnswer(true);    // replace the one of an earlier run
    run(window, "mnuFile", 0); // New
    QWidget* signIn = window.loadedScreen(QStringLiteral("U003"));
    if (signIn) {
        signIn->findChild<QLineEdit*>(QStringLiteral("txtFiscalYear"))
            ->setText(QStringLiteral("2008"));
        signIn->findChild<QLineEdit*>(QStringLiteral("txtperiod"))
            ->setText(QStringLiteral("07/01/2006"));
        signIn->findChild<QLineEdit*>(QStringLiteral("txtPeriodEnd"))
            ->setText(QStringLiteral("06/30/2007"));
        signIn->findChild<QLineEdit*>(QStringLiteral("txtSampleDate"))
            ->setText(QStringLiteral("10/01/2007"));
    }
    shoot.save(&window, QStringLiteral("U001-signin"));
    shoot.save(signIn, QStringLiteral("U003"));
    if (signIn)
        signIn->findChild<QPushButton*>(QStringLiteral("cmdsignin"))->click();
    settle();
    shoot.save(&window, QStringLiteral("U001-main"));
    shoot.save(window.loadedScreen(QStringLiteral("U014")), QStringLiteral("U014"));
    window.closeForm(window.loadedScreen(QStringLiteral("U014")));

    run(window, "mnuCPop", 1); // Change Reporting Options
    shoot.save(window.loadedScreen(QStringLiteral("U003")), QStringLiteral("U003r"));
    run(window, "mnuHelpHelp", 7); // About
    shoot.save(window.loadedScreen(QStringLiteral("U009")), QStringLiteral("U009"));
    if (auto* about = qobject_cast<ui::AboutScreen*>(window.loadedScreen(QStringLiteral("U009")))) {
        ui::SystemInfoDialog* info = about->showSystemInfo();
        settle();
        shoot.save(info, QStringLiteral("U009-sysinfo"));
        info->close();
    }
    run(window, "mnuHelpHelp", 5); // Contacting Corvath
    shoot.save(window.loadedScreen(QStringLiteral("U008")), QStringLiteral("U008"));
    run(window, "custds", 2); // Tile Vertical
    shoot.save(&window, QStringLiteral("U001-tiled"));
    const QString extract = window.session().programFile(QStringLiteral("demo-extract.csv"));
    if (QFile::exists(extract)) {
        for (const char* id : {"U003", "U008", "U009"})
            window.closeForm(window.loadedScreen(QString::fromLatin1(id)));
        fe.setNextFileName(extract);
        fe.setNextAnswer(true);      // reload the master
        run(window, "mnuImpDat", 0); // Import from Extract File
        shoot.save(window.loadedScreen(QStringLiteral("U011")), QStringLiteral("U011"));
        shoot.save(&window, QStringLiteral("U001-import"));
        window.closeForm(window.loadedScreen(QStringLiteral("U011")));
        shootWorksheets(window, shoot);
        shootReportValidation(window, shoot);
        shootFieldWork(window, shoot);
        shootOtherScreens(window, shoot);
    }
    {
        ui::CalendarScreen calendar(QDate(2006, 7, 1), &window);
        calendar.show();
        shoot.save(&calendar, QStringLiteral("U004"));
        calendar.hide();
    }

    for (const auto& shown : fe.messages())
        std::fprintf(stderr, "message: %s\n", qPrintable(shown.text));
    window.endProgram();
    return shoot.failures;
}

} // namespace orv::app
