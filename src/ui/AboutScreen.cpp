#include "AboutScreen.h"

#include "Navigator.h"
#include "ScreenGeometry.h"
#include "SystemInfoDialog.h"

#include "program/SystemInfo.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace orv::ui {

AboutScreen::AboutScreen(Navigator& window) : mWindow(window) {
    setObjectName(QStringLiteral("U009"));
    setWindowTitle(QStringLiteral("About"));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("picIcon"));
    icon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));
    auto* title = new QLabel(QString::fromLatin1(kProgramTitle), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.3);
    title->setFont(big);
    auto* version =
        new QLabel(QStringLiteral("Version ") + QString::fromLatin1(kProgramVersion), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto* developer =
        new QLabel(QStringLiteral("Developed for the ORV programme by Corvath Inc."), this);
    developer->setObjectName(QStringLiteral("lblDescription"));
    developer->setWordWrap(true);
    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* ok = new QPushButton(QStringLiteral("O&K"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto* info = new QPushButton(QStringLiteral("&SysInfo"), this);
    info->setObjectName(QStringLiteral("cmdInfo"));

    auto* texts = new QVBoxLayout;
    texts->addWidget(title);
    texts->addWidget(version);
    texts->addSpacing(8);
    texts->addWidget(developer);
    texts->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(info);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(top, 1);
    outer->addWidget(line);
    outer->addLayout(buttons);

    info->setToolTip(QStringLiteral("What a support desk asks for, to copy into a message"));
    connect(info, &QPushButton::clicked, this, &AboutScreen::showSystemInfo);
    connect(ok, &QPushButton::clicked, this, [this] { mWindow.closeForm(this); });
    fitScreen(this, 5565, 3255);
}

SystemInfoDialog* AboutScreen::showSystemInfo() {
    if (!mInfo) {
        mInfo = new SystemInfoDialog(mWindow.session(), this);
        mInfo->setAttribute(Qt::WA_DeleteOnClose);
    }
    mInfo->show();
    mInfo->raise();
    mInfo->activateWindow();
    return mInfo;
}

} // namespace orv::ui
