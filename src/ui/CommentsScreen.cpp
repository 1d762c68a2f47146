#include "CommentsScreen.h"

#include "Navigator.h"
#include "ScreenGeometry.h"

#include "session/Session.h"
#include "worksheet/SummaryComments.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orv::ui {

CommentsScreen::CommentsScreen(Navigator& window) : mWindow(window) {
    setObjectName(QStringLiteral("U018"));
    setWindowTitle(QStringLiteral("ORV Comments"));

    auto* caption = new QLabel(QStringLiteral(" Comments"), this);
    caption->setObjectName(QStringLiteral("Label1"));
    mNotes = new QPlainTextEdit(this);
    mNotes->setObjectName(QStringLiteral("txtNotes"));
    mNotes->setTabChangesFocus(true);
    caption->setBuddy(mNotes);
    auto* updateButton = new QPushButton(QStringLiteral("Up&date"), this);
    updateButton->setObjectName(QStringLiteral("cmdUpdate"));
    auto* cancelButton = new QPushButton(QStringLiteral("&Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cmdCancel"));
    auto* exitButton = new QPushButton(QStringLiteral("E&xit"), this);
    exitButton->setObjectName(QStringLiteral("cmdExit"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(updateButton);
    buttons->addWidget(cancelButton);
    buttons->addWidget(exitButton);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(caption);
    outer->addWidget(mNotes, 1);
    outer->addLayout(buttons);

    connect(updateButton, &QPushButton::clicked, this, &CommentsScreen::update);
    connect(cancelButton, &QPushButton::clicked, this, &CommentsScreen::cancel);
    connect(exitButton, &QPushButton::clicked, this, [this] { mWindow.closeForm(this); });
    fitScreen(this, 8235, 5355);
    cancel();
}

void CommentsScreen::update() {
    Session& session = mWindow.session();
    try {
        mNotes->setPlainText(updateSummaryComments(session, mNotes->toPlainText()));
    } catch (const DbError& e) {
        session.ui().message(e.message(), Icon::Exclamation);
    }
}

// Shows the stored comments again, dropping what was typed since.
void CommentsScreen::cancel() {
    Session& session = mWindow.session();
    try {
        mNotes->setPlainText(readSummaryComments(session));
    } catch (const DbError& e) {
        session.ui().message(e.message(), Icon::Exclamation);
    }
}

} // namespace orv::ui
