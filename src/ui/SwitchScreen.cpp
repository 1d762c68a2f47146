#include "SwitchScreen.h"

#include "Navigator.h"
#include "ScreenGeometry.h"

#include "program/DataSource.h"
#include "session/DatabaseFiles.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv::ui {

SwitchScreen::SwitchScreen(Navigator& window) : mWindow(window) {
    setObjectName(QStringLiteral("U012"));
    setWindowTitle(QStringLiteral("U012 - Switch Database"));

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* label = new QLabel(QStringLiteral("Data Source"), frame);
    label->setObjectName(QStringLiteral("lblDSN"));
    mDataSources = new QComboBox(frame);
    mDataSources->setObjectName(QStringLiteral("cboDSN"));
    mDataSources->setEditable(true);
    mDataSources->setInsertPolicy(QComboBox::NoInsert);
    // The label names the box, and its typing box too, which a screen reader reads on its own.
    label->setBuddy(mDataSources);
    mDataSources->lineEdit()->setAccessibleName(label->text());
    auto* switchButton = new QPushButton(QStringLiteral("&Switch"), frame);
    switchButton->setObjectName(QStringLiteral("cmdSwitch"));
    switchButton->setDefault(true);
    auto* exit = new QPushButton(QStringLiteral("E&xit"), frame);
    exit->setObjectName(QStringLiteral("cmdExit"));

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(mDataSources, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(switchButton);
    buttons->addWidget(exit);
    auto* inner = new QVBoxLayout(frame);
    inner->addLayout(row);
    inner->addStretch(1);
    inner->addLayout(buttons);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(frame);

    connect(switchButton, &QPushButton::clicked, this, &SwitchScreen::switchDatabase);
    connect(exit, &QPushButton::clicked, this, [this] { mWindow.closeForm(this); });
    fillDataSources();
    fitScreen(this, 4800, 3090);
    mWindow.session().ui().setBusy(false);
    mWindow.session().ui().workStatus(QString());
}

void SwitchScreen::fillDataSources() {
    mDataSources->clear();
    mDataSources->addItems(datasource::orvNames());
}

void SwitchScreen::switchDatabase() {
    const QString name = mDataSources->currentText();
    if (name.isEmpty())
        return;
    // The data source names its database file; the paths stay file paths.
    if (mWindow.frontEnd().runFileCommand(
            [&] { return orv::switchDatabase(mWindow.session(), name); }) != FileResult::Opened)
        return;
    mWindow.showSignIn(SignInMode::SignIn);
    mWindow.frontEnd().setDataMenus(false);
    mWindow.closeForm(this);
}

} // namespace orv::ui
