#include "Icons.h"
#include "MainWindow.h"
#include "Screenshots.h"
#include "SingleInstance.h"
#include "SplashScreen.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

void usage() {
    std::fprintf(stderr, "usage: orvdv [--home DIR] [--screenshot DIR]\n\n"
                         "--home DIR        the program folder (templates, tips, error report, "
                         "exports); default: the folder of this program\n"
                         "--screenshot DIR  sign in on a scratch database, save a picture of "
                         "each screen into DIR and quit\n");
}

bool hasDisplay() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY") ||
           qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

} // namespace

int main(int argc, char** argv) {
    if (!hasDisplay()) {
        std::fprintf(stderr, "orvdv: no display found; the desktop program needs one "
                             "(orvdv-cli is the batch front end).\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvdv"));
    QApplication::setOrganizationName(QStringLiteral("ORV Data Validation"));
    QApplication::setApplicationDisplayName(QStringLiteral("ORV Data Validation System."));
    QApplication::setWindowIcon(orv::ui::programIcon());

    QStringList args = QApplication::arguments();
    args.removeFirst();
    QString home = QApplication::applicationDirPath();
    QString screenshots;
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        if ((arg == QLatin1String("--home") || arg == QLatin1String("--screenshot")) &&
            !args.isEmpty()) {
            (arg == QLatin1String("--home") ? home : screenshots) = args.takeFirst();
        } else {
            usage();
            return arg == QLatin1String("--help") ? 0 : 2;
        }
    }

    orv::ui::SingleInstance instance(home);
    if (!instance.tryLock()) {
        QMessageBox::warning(nullptr, QStringLiteral("ORV Data Validation System."),
                             QStringLiteral("Application is already running"));
        return 1;
    }

    std::unique_ptr<orv::ui::MainWindow> window;
    int failures = 0;
    auto* splash = new orv::ui::SplashScreen(home);
    QObject::connect(splash, &orv::ui::SplashScreen::started, &app,
                     [&](orv::ui::MainWindow* started) {
                         window.reset(started);
                         QObject::connect(started, &orv::ui::MainWindow::programEnded, &app,
                                          &QApplication::quit, Qt::QueuedConnection);
                         if (!screenshots.isEmpty())
                             QTimer::singleShot(0, started, [&] {
                                 failures = orv::app::takeScreenshots(*window, screenshots);
                             });
                     });
    splash->start(1000);
    const int rc = app.exec();
    window.reset();
    return failures ? 1 : rc;
}
