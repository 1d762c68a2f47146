#include "Screenshots.h"

#include "CalendarScreen.h"
#include "MainWindow.h"
#include "SplashScreen.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace orv::app {

namespace {

void settle(int ms = 150) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Shooter {
    QDir dir;
    int failures = 0;

    void save(QWidget* widget, const QString& name) {
        if (!widget) {
            std::fprintf(stderr, "screenshot: no screen for %s\n", qPrintable(name));
            ++failures;
            return;
        }
        settle();
        const QString path = dir.filePath(name + QStringLiteral(".png"));
        if (!widget->grab().save(path)) {
            std::fprintf(stderr, "screenshot: cannot write %s\n", qPrintable(path));
            ++failures;
            return;
        }
        std::printf("%s\n", qPrintable(path));
    }
};

} // namespace

int takeScreenshots(ui::MainWindow& window, const QString& folder) {
    QDir().mkpath(folder);
    Shooter shoot{QDir(folder)};
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
    fe.setNextAnswer(true); // replace the one of an earlier run
    window.fileNew();
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
    window.unloadScreen(QStringLiteral("U014"));

    window.changeReportingOptions();
    shoot.save(window.loadedScreen(QStringLiteral("U003")), QStringLiteral("U003r"));
    window.about();
    shoot.save(window.loadedScreen(QStringLiteral("U009")), QStringLiteral("U009"));
    window.contactUs();
    shoot.save(window.loadedScreen(QStringLiteral("U008")), QStringLiteral("U008"));
    window.tileVertical();
    shoot.save(&window, QStringLiteral("U001-tiled"));
    const QString extract = window.session().programFile(QStringLiteral("demo-extract.csv"));
    if (QFile::exists(extract)) {
        for (const char* id : {"U003", "U008", "U009"})
            window.unloadScreen(QString::fromLatin1(id));
        fe.setNextFileName(extract);
        fe.setNextAnswer(true); // reload the master
        window.importFromExtract();
        shoot.save(window.loadedScreen(QStringLiteral("U011")), QStringLiteral("U011"));
        shoot.save(&window, QStringLiteral("U001-import"));
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
