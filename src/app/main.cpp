#include "Icons.h"
#include "MainMenu.h"
#include "MainWindow.h"
#include "ScreenWalk.h"
#include "Screenshots.h"
#include "SingleInstance.h"
#include "SplashScreen.h"

#include "program/ProgramFolder.h"
#include "program/Version.h"

#include <QApplication>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

void usage(std::FILE* stream) {
    std::fprintf(stream,
                 "usage: orvdv [--home DIR] [--screenshot DIR [--hold-screens]] [DATABASE]\n"
                 "       orvdv --help | --version\n\n"
                 "--home DIR        the program folder (templates, tips, error report, "
                 "exports); default: the folder of this program, or for an installed "
                 "program the user's data folder\n"
                 "--screenshot DIR  sign in on a scratch database, save a picture of "
                 "each screen into DIR and quit\n"
                 "--hold-screens    with --screenshot: before each picture, print where "
                 "Tab cannot go and the screen's name, and wait for a line on standard "
                 "input (for an accessibility checker)\n"
                 "DATABASE          open this validation database, as File > Open does\n"
                 "--help            print this text\n"
                 "--version         print the program's version\n");
}

struct Options {
    QString home;
    QString screenshots;
    QString database;
    bool hold = false;
    bool help = false;
    bool version = false;
    bool bad = false;
};

// --help and --version win over anything wrong beside them, as users expect.
Options parseOptions(const QStringList& args) {
    Options o;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            o.help = true;
        } else if (arg == QLatin1String("--version")) {
            o.version = true;
        } else if (arg == QLatin1String("--hold-screens")) {
            o.hold = true;
        } else if ((arg == QLatin1String("--home") || arg == QLatin1String("--screenshot")) &&
                   i + 1 < args.size()) {
            (arg == QLatin1String("--home") ? o.home : o.screenshots) = args.at(++i);
        } else if (!arg.startsWith(QLatin1Char('-')) && o.database.isNull()) {
            o.database = arg;
        } else {
            o.bad = true;
        }
    }
    return o;
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
    // Read before the display is looked for: --help and --version need none. Qt's own options
    // are taken out only by QApplication, so the command line is read again after it.
    QStringList raw;
    for (int i = 1; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    const Options early = parseOptions(raw);
    if (early.help) {
        usage(stdout);
        return 0;
    }
    if (early.version) {
        std::printf("orvdv %s\n", orv::kPackageVersion);
        return 0;
    }
    if (!hasDisplay()) {
        if (early.bad) {
            usage(stderr);
            return 2;
        }
        std::fprintf(stderr, "orvdv: no display found; the desktop program needs one "
                             "(orvdv-cli is the batch front end).\n");
        return 1;
    }
    QApplication app(argc, argv);
    orv::setProgramNames();
    QApplication::setApplicationDisplayName(QStringLiteral("ORV Data Validation System."));
    // Lets the desktop match the window to its menu entry and icon.
    QApplication::setDesktopFileName(QStringLiteral("org.orvdv.DataValidation"));
    QApplication::setWindowIcon(orv::ui::programIcon());

    QStringList args = QApplication::arguments();
    args.removeFirst();
    const Options options = parseOptions(args);
    if (options.bad) {
        usage(stderr);
        return 2;
    }
    const QString screenshots = options.screenshots;
    const orv::ProgramFolder folder = orv::resolveProgramFolder(
        QApplication::applicationDirPath(), options.home,
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    if (folder.path.isEmpty()) {
        QMessageBox::critical(nullptr, QStringLiteral("ORV Data Validation System."), folder.error);
        return 1;
    }
    const QString home = folder.path;

    orv::ui::SingleInstance instance(home);
    if (!instance.tryLock()) {
        // A file the desktop asked to open goes to the copy already running.
        if (!options.database.isEmpty() && instance.handOver(options.database))
            return 0;
        QMessageBox::warning(nullptr, QStringLiteral("ORV Data Validation System."),
                             QStringLiteral("Application is already running"));
        return 1;
    }

    // The pictures show the program as it first starts, whatever the user's settings keep.
    if (!screenshots.isEmpty())
        orv::ui::GuiFrontEnd::setScriptedByDefault(true);
    std::unique_ptr<orv::ui::MainWindow> window;
    int failures = 0;
    auto* splash = new orv::ui::SplashScreen(home);
    QObject::connect(
        splash, &orv::ui::SplashScreen::started, &app, [&](orv::ui::MainWindow* started) {
            window.reset(started);
            instance.acceptFiles([&](const QString& file) {
                window->raise();
                window->activateWindow();
                orv::ui::openDatabaseFile(*window, file);
            });
            QObject::connect(started, &orv::ui::MainWindow::programEnded, &app, &QApplication::quit,
                             Qt::QueuedConnection);
            if (!screenshots.isEmpty())
                QTimer::singleShot(0, started, [&] {
                    orv::app::ScreenHook hold;
                    if (options.hold)
                        hold = [](QWidget* screen, const QString& name) {
                            orv::app::holdScreen(screen, name, 60000);
                        };
                    failures = orv::app::takeScreenshots(*window, screenshots, hold);
                });
            else if (!options.database.isEmpty())
                // The file the desktop was asked to open: as File > Open opens it.
                QTimer::singleShot(0, started,
                                   [&] { orv::ui::openDatabaseFile(*window, options.database); });
        });
    splash->start(1000);
    const int rc = app.exec();
    window.reset();
    return failures ? 1 : rc;
}
