#include "SplashScreen.h"

#include "MainWindow.h"

#include "program/DataSource.h"
#include "program/SystemInfo.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace orv::ui {

SplashScreen::SplashScreen(const QString& programDir)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint), mProgramDir(programDir) {
    setObjectName(QStringLiteral("U000"));
    setWindowTitle(QStringLiteral("ORV Data Validation System."));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Box | QFrame::Raised);
    frame->setLineWidth(2);
    auto* title = new QLabel(QStringLiteral("ORV Data Validation System."), frame);
    title->setObjectName(QStringLiteral("lblProductName"));
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.8);
    title->setFont(big);
    title->setAlignment(Qt::AlignCenter);
    auto* version =
        new QLabel(QStringLiteral("Version ") + QString::fromLatin1(kProgramVersion), frame);
    version->setObjectName(QStringLiteral("lblVersion"));
    version->setAlignment(Qt::AlignCenter);
    auto* wait = new QLabel(QStringLiteral("Starting, please wait..."), frame);
    wait->setObjectName(QStringLiteral("lblWarning"));
    wait->setAlignment(Qt::AlignCenter);
    auto* inner = new QVBoxLayout(frame);
    inner->setContentsMargins(40, 32, 40, 32);
    inner->addWidget(title);
    inner->addWidget(version);
    inner->addSpacing(16);
    inner->addWidget(wait);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    adjustSize();
}

void SplashScreen::start(int delayMs) {
    setCursor(Qt::WaitCursor);
    if (const QScreen* display = QGuiApplication::primaryScreen()) {
        const QRect area = display->availableGeometry();
        move(area.center() - rect().center());
    }
    show();
    raise();
    QTimer::singleShot(delayMs, this, [this] { finish(); });
}

MainWindow* SplashScreen::finish() {
    if (mFinished)
        return nullptr;
    mFinished = true;
    auto* window = new MainWindow(mProgramDir);
    try {
        ensureDataSource(window->session().ui(), window->session().programDir());
    } catch (const DbError& e) {
        // Only the reports and grids need the data source; the program itself goes on.
        window->frontEnd().message(QStringLiteral("Unable to log into system ") + e.message(),
                                   Icon::Critical);
    }
    window->prepareStartUp();
    window->show();
    unsetCursor();
    close();
    emit started(window);
    return window;
}

} // namespace orv::ui
