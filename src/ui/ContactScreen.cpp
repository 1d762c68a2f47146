#include "ContactScreen.h"

#include "Colours.h"
#include "Navigator.h"
#include "ScreenGeometry.h"

#include "session/Session.h"

#include <QDesktopServices>
#include <QDir>
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
    // Whatever the file holds is shown as it is, never as markup.
    l->setTextFormat(Qt::PlainText);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

QLabel* picture(const QString& name, QStyle::StandardPixmap which, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setPixmap(parent->style()->standardIcon(which).pixmap(24, 24));
    return l;
}

// A label that reads as a link, when there is something to open.
QLabel* link(const QString& name, const QString& value, QWidget* parent) {
    QLabel* l = text(name, value, parent);
    if (value.isEmpty())
        return l;
    l->setCursor(Qt::PointingHandCursor);
    QFont f = l->font();
    f.setUnderline(true);
    l->setFont(f);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText,
               readableOn(p.color(QPalette::Link), p.color(QPalette::Window)));
    l->setPalette(p);
    return l;
}

} // namespace

ContactScreen::ContactScreen(Navigator& window)
    : mWindow(window), mDetails(readContactDetails(
                           window.session().programFile(QString::fromLatin1(kContactFile)))) {
    setObjectName(QStringLiteral("U008"));
    setWindowTitle(QStringLiteral("Contact Us."));

    auto* company = text(QStringLiteral("lblCompany"), mDetails.organisation, this);
    QFont bold = company->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    company->setFont(bold);
    company->setWordWrap(true);
    auto* address =
        text(QStringLiteral("lblAddress"), mDetails.address.join(QLatin1Char('\n')), this);
    const QString file = window.session().programFile(QString::fromLatin1(kContactFile));
    auto* notSet = text(QStringLiteral("lblNotSet"),
                        QStringLiteral("No help desk has been set up here yet. To show whom to "
                                       "call or write, open the file %1 in a text editor, fill "
                                       "in the lines under [Contact] and open this screen again.")
                            .arg(QDir::toNativeSeparators(file)),
                        this);
    notSet->setWordWrap(true);
    const bool set = mDetails.isSet();
    // Until then the file's name line is a placeholder, not the name of anyone to call.
    notSet->setVisible(!set);
    company->setVisible(set && !mDetails.organisation.isEmpty());
    address->setVisible(!mDetails.address.isEmpty());

    auto* grid = new QGridLayout;
    grid->setColumnStretch(2, 1);
    int row = 0;
    // A line with nothing to call or open is left out.
    auto addRow = [&](QLabel* pic, QLabel* caption, QLabel* value) {
        grid->addWidget(pic, row, 0);
        grid->addWidget(caption, row, 1);
        grid->addWidget(value, row, 2);
        for (QLabel* l : {pic, caption, value})
            l->setVisible(!value->text().isEmpty());
        ++row;
    };
    // A number whose person is not named is still a number to call.
    auto person = [](const QString& name) {
        return name.isEmpty() ? QStringLiteral("Telephone") : name;
    };
    addRow(picture(QStringLiteral("picPhone1"), QStyle::SP_DialogHelpButton, this),
           text(QStringLiteral("lblContact1"), person(mDetails.contact1), this),
           text(QStringLiteral("lblPhone1"), mDetails.phone1, this));
    addRow(picture(QStringLiteral("picPhone2"), QStyle::SP_DialogHelpButton, this),
           text(QStringLiteral("lblContact2"), person(mDetails.contact2), this),
           text(QStringLiteral("lblPhone2"), mDetails.phone2, this));
    addRow(picture(QStringLiteral("picFax"), QStyle::SP_FileIcon, this),
           new QLabel(QStringLiteral("Fax"), this),
           text(QStringLiteral("lblFax"), mDetails.fax, this));
    mMail = link(QStringLiteral("lblMailLink"), mDetails.email, this);
    addRow(picture(QStringLiteral("picMail"), QStyle::SP_MessageBoxInformation, this),
           new QLabel(QStringLiteral("E-mail"), this), mMail);
    mWeb = link(QStringLiteral("lblweblink"), mDetails.web, this);
    addRow(picture(QStringLiteral("picWeb"), QStyle::SP_DriveNetIcon, this),
           new QLabel(QStringLiteral("Web"), this), mWeb);
    mMail->installEventFilter(this);
    mWeb->installEventFilter(this);

    auto* exit = new QPushButton(QStringLiteral("E&xit"), this);
    exit->setObjectName(QStringLiteral("cmdExit"));
    exit->setDefault(true);
    connect(exit, &QPushButton::clicked, this, [this] { mWindow.closeForm(this); });

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(notSet);
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
    return contactMailUrl(mDetails);
}

QString ContactScreen::webUrl() const {
    return contactWebUrl(mDetails);
}

bool ContactScreen::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        const QString url = watched == mMail ? mailUrl() : watched == mWeb ? webUrl() : QString();
        if (!url.isEmpty())
            QDesktopServices::openUrl(QUrl(url));
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace orv::ui
