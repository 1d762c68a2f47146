#include "Cli.h"

#include "program/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {
// Reports lay text out and draw charts, which takes the GUI application object (fonts); every
// other command runs on the plain one. Neither needs a display.
bool needsGui(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--home") == 0) {
            ++i;
            continue;
        }
        return std::strcmp(argv[i], "report") == 0;
    }
    return false;
}
} // namespace

int main(int argc, char** argv) {
    std::unique_ptr<QCoreApplication> application;
    if (needsGui(argc, argv)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // Without a login session (cron, ssh as root) Qt warns on stderr and then uses this
        // very folder; stderr is kept for the outcome.
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            const QByteArray runtime =
                QDir::tempPath().toLocal8Bit() + "/runtime-" + QByteArray::number(::getuid());
            if (::mkdir(runtime.constData(), 0700) == 0 || errno == EEXIST)
                qputenv("XDG_RUNTIME_DIR", runtime);
        }
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    // The desktop program's names, so that both find an installation's files in one data folder.
    orv::setProgramNames();
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return orv::cli::run(args, QCoreApplication::applicationDirPath(), out, err,
                         QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}
