#include "FindScreen.h"

#include "Navigator.h"
#include "ScreenGeometry.h"

#include "session/Session.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace orv::ui {

FindScreen::FindScreen(Navigator& window, const QString& columnName, QStringList values,
                       RowSelector select)
    : FindScreen(window, columnName, ColumnSearch(std::move(values)), std::move(select)) {}

FindScreen::FindScreen(Navigator& window, const QString& columnName, ColumnSearch search,
                       RowSelector select)
    : mWindow(window), mSearch(std::move(search)), mSelect(std::move(select)) {
    setObjectName(QStringLiteral("U019"));
    setWindowTitle(QStringLiteral("Find."));

    mCaption =
        new QLabel(QStringLiteral(" Find what: (") + columnName.toUpper() + QLatin1Char(')'), this);
    mCaption->setObjectName(QStringLiteral("lblTextToFind"));
    mText = new QLineEdit(this);
    mText->setObjectName(QStringLiteral("txtTextToFind"));
    mCaption->setBuddy(mText);
    mExact = new QCheckBox(QStringLiteral("E&xact Match."), this);
    mExact->setObjectName(QStringLiteral("chkExactMatch"));
    mRowNumber = new QLabel(this);
    mRowNumber->setObjectName(QStringLiteral("lblRowNumber"));
    mRowNumber->setWordWrap(true);
    auto* next = new QPushButton(QStringLiteral("&Find Next"), this);
    next->setObjectName(QStringLiteral("cmdFindNext"));
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdExit"));

    auto* fields = new QVBoxLayout;
    fields->addWidget(mCaption);
    fields->addWidget(mText);
    fields->addWidget(mExact);
    fields->addWidget(mRowNumber);
    fields->addStretch(1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(next);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(fields, 1);
    outer->addLayout(buttons);

    mText->installEventFilter(this);
    connect(mText, &QLineEdit::returnPressed, this, &FindScreen::findNext);
    connect(next, &QPushButton::clicked, this, &FindScreen::findNext);
    connect(cancel, &QPushButton::clicked, this, [this] { mWindow.closeForm(this); });
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(esc, &QShortcut::activated, cancel, &QPushButton::click);

    fitScreen(this, 5400, 1900);
    mSelect(-1);
}

bool FindScreen::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mText && event->type() == QEvent::FocusOut) {
        // Switching windows or opening a menu is not leaving the box.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            textLeft();
    }
    return QWidget::eventFilter(watched, event);
}

void FindScreen::textLeft() {
    if (mSearch.textLeft(mText->text())) {
        mRowNumber->clear();
        mSelect(-1);
    }
}

void FindScreen::findNext() {
    // Enter in the box searches without leaving it: a changed text starts afresh all the same.
    textLeft();
    ColumnSearch::Result r;
    try {
        r = mSearch.findNext(mText->text(), mExact->isChecked(), mRowNumber->text());
    } catch (const DbError& e) {
        mWindow.session().ui().message(e.message(), Icon::Exclamation);
        return;
    }
    if (!r.changed)
        return;
    mRowNumber->setText(r.label);
    if (r.row >= 0)
        mSelect(r.row);
}

} // namespace orv::ui
