#include "ContactScreen.h"

#include "MainWindow.h"
#include "ScreenGeometry.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

namespace orv::ui {

namespace {

QLabel* text(const QString& name, const QString& value, QWidget* parent) {
    auto* l = new QLabel(value, parent);
    l->setObjectName(name);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

QLabel* picture(const QString& name, QStyle::StandardPixmap which, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setPixmap(parent->style()->standardIcon(which).pixmap(24, 24));
    return l;
}

QLabel* link(const QString& name, const QString& value, QWidget* parent) {
    auto* l = new QLabel(value, parent);
    l->setObjectName(name);
    l->setCursor(Qt::PointingHandCursor);
    QFont f = l->font();
    f.setUnderline(true);
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::Link));
    l->setPalette(p);
    return l;
}

} // namespace

ContactScreen::ContactScreen(MainWindow& window) : mWindow(window) {
    setObjectName(QStringLiteral("U008"));
    setWindowTitle(QStringLiteral("Contact Us."));

    auto* company = text(QStringLiteral("lblCompany"), QStringLiteral("Corvath Inc."), this);
    QFont bold = company->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    company->setFont(bold);
    auto* address =
        text(QStringLiteral("lblAddress"),
             QStringLiteral("1200 Harbor Point Drive, Suite 410\nRiverton, MD 21000"), this);

    auto* grid = new QGridLayout;
    grid->setColumnStretch(2, 1);
    int row = 0;
    auto addRow = [&](QLabel* pic, const QString& caption, QLabel* value) {
        if (pic)
            grid->addWidget(pic, row, 0);
        grid->addWidget(new QLabel(caption, this), row, 1);
        grid->addWidget(value, row, 2);
        ++row;
    };
    addRow(picture(QStringLiteral("picPhone1"), QStyle::SP_DialogHelpButton, this),
           QStringLiteral("Dana Whitfield"),
           text(QStringLiteral("lblPhone1"), QStringLiteral("(555) 010-4417"), this));
    addRow(picture(QStringLiteral("picPhone2"), QStyle::SP_DialogHelpButton, this),
           QStringLiteral("Marcus Oyelaran"),
           text(QStringLiteral("lblPhone2"), QStringLiteral("(555) 010-4452"), this));
    addRow(picture(QStringLiteral("picFax"), QStyle::SP_FileIcon, this), QStringLiteral("Fax"),
           text(QStringLiteral("lblFax"), QStringLiteral("(555) 010-4499"), this));
    mMail = link(QStringLiteral("lblMailLink"), QStringLiteral("orvhelp@corvath.example"), this);
    addRow(picture(QStringLiteral("picMail"), QStyle::SP_MessageBoxInformation, this),
           QStringLiteral("E-mail"), mMail);
    mWeb = link(QStringLiteral("lblweblink"), QStringLiteral("www.corvath.example"), this);
    addRow(picture(QStringLiteral("picWeb"), QStyle::SP_DriveNetIcon, this), QStringLiteral("Web"),
           mWeb);
    mMail->installEventFilter(this);
    mWeb->installEventFilter(this);

    auto* exit = new QPushButton(QStringLiteral("Exit"), this);
    exit->setObjectName(QStringLiteral("cmdExit"));
    exit->setDefault(true);
    connect(exit, &QPushButton::clicked, this, [this] { mWindow.unloadScreen(objectName()); });

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(company);
    outer->addWidget(address);
    outer->addSpacing(12);
    outer->addLayout(grid);
    outer->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(exit);
    outer->addLayout(buttons);
    fitScreen(this, 5625, 5655);
}

QString ContactScreen::mailUrl() const {
    return QStringLiteral("mailto:") + mMail->text() + QStringLiteral("?subject=ORV Help Request ");
}

QString ContactScreen::webUrl() const {
    return QStringLiteral("http://") + mWeb->text();
}

bool ContactScreen::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == mMail)
            QDesktopServices::openUrl(QUrl(mailUrl()));
        else if (watched == mWeb)
            QDesktopServices::openUrl(QUrl(webUrl()));
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace orv::ui
