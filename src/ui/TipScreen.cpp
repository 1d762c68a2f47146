#include "TipScreen.h"

#include "Navigator.h"
#include "ScreenGeometry.h"

#include "session/SignIn.h"

#include <QCheckBox>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTextStream>
#include <QVBoxLayout>

namespace orv::ui {

namespace {
const QString kTipsFile = QStringLiteral("ORVDV.DLL");
}

TipScreen::TipScreen(Navigator& window) : mWindow(window) {
    setObjectName(QStringLiteral("U014"));
    setWindowTitle(QStringLiteral("Tip of the Day"));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    auto* heading = new QLabel(QStringLiteral("Did you know..."), this);
    heading->setObjectName(QStringLiteral("lblDidYouKnow"));
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    heading->setFont(bold);
    mTip = new QLabel(this);
    mTip->setObjectName(QStringLiteral("lblTipText"));
    mTip->setTextFormat(Qt::PlainText);
    mTip->setWordWrap(true);
    mTip->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    mTip->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    panel->setBackgroundRole(QPalette::Base);
    panel->setAutoFillBackground(true);
    auto* text = new QVBoxLayout;
    text->addWidget(heading);
    text->addWidget(mTip, 1);
    auto* inner = new QHBoxLayout(panel);
    inner->addWidget(picture, 0, Qt::AlignTop);
    inner->addLayout(text, 1);

    mShowTips = new QCheckBox(QStringLiteral("&Show Tips at Startup"), this);
    mShowTips->setObjectName(QStringLiteral("chkLoadTipsAtStartup"));
    auto* next = new QPushButton(QStringLiteral("&Next Tip"), this);
    next->setObjectName(QStringLiteral("cmdNextTip"));
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(mShowTips);
    buttons->addStretch(1);
    buttons->addWidget(next);
    buttons->addWidget(close);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(panel, 1);
    outer->addLayout(buttons);

    mShowTips->setChecked(true);
    connect(mShowTips, &QCheckBox::clicked, this, &TipScreen::showTipsToggled);
    connect(next, &QPushButton::clicked, this, &TipScreen::nextTip);
    connect(close, &QPushButton::clicked, this, [this] { mWindow.closeForm(this); });

    if (!loadTips(mWindow.session().programFile(kTipsFile)))
        mTip->setText(QStringLiteral("That the ") + kTipsFile +
                      QStringLiteral(" file was not found? \n\nContact Corvath Inc. for a copy "
                                     "of the file."));
    fitScreen(this, 6525, 5640);
}

bool TipScreen::loadTips(const QString& path) {
    if (path.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream in(&file);
    mTips.clear();
    while (!in.atEnd())
        mTips << in.readLine();
    file.close();
    mNext = 1;
    nextTip();
    return true;
}

QString TipScreen::tipText() const {
    return mTip->text();
}

void TipScreen::nextTip() {
    if (mNext > mTips.size())
        mNext = 1;
    mCurrent = mNext;
    ++mNext;
    displayCurrentTip();
    mWindow.session().ui().setBusy(false);
    mWindow.session().ui().workStatus(QString());
}

void TipScreen::displayCurrentTip() {
    if (mTips.isEmpty())
        return;
    QString tip = mTips.at(mCurrent - 1);
    tip.replace(QLatin1Char('&'), QLatin1Char('\n'));
    mTip->setText(tip);
}

void TipScreen::showTipsToggled(bool checked) {
    Session& session = mWindow.session();
    try {
        setShowTips(session, checked);
    } catch (const DbError& e) {
        session.ui().message(e.message(), Icon::Exclamation);
    }
}

} // namespace orv::ui
