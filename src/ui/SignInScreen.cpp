#include "SignInScreen.h"

#include "CalendarScreen.h"
#include "Icons.h"
#include "Navigator.h"
#include "ReportValidationScreen.h"
#include "ScreenGeometry.h"
#include "SourceTableScreen.h"

#include "session/Session.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace orv::ui {

namespace {

// A combo box's typing box is read on its own, and a label names only the combo box.
void nameTypingBox(QComboBox* box, const QString& name) {
    if (box->lineEdit())
        box->lineEdit()->setAccessibleName(name);
}

// The label names its box to a screen reader.
QLabel* label(const QString& name, const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text, buddy->parentWidget());
    l->setObjectName(name);
    l->setBuddy(buddy);
    if (auto* box = qobject_cast<QComboBox*>(buddy))
        nameTypingBox(box, text);
    return l;
}

QLineEdit* dateBox(const QString& name, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setPlaceholderText(QStringLiteral("MM/DD/YYYY"));
    return box;
}

QComboBox* filterBox(const QString& name, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(12);
    return box;
}

void setComboText(QComboBox* box, const QString& text) {
    box->setCurrentIndex(-1);
    box->setEditText(text);
}

} // namespace

SignInScreen::SignInScreen(Navigator& window, SignInMode mode) : mWindow(window), mMode(mode) {
    setObjectName(QStringLiteral("U003"));
    buildLayout();
    loadSettings();
    const bool options = mode == SignInMode::ReportOptions;
    if (options) {
        setWindowTitle(QStringLiteral("U003r - Change Report Options"));
        mPopulation->hide();
        mSignIn->setText(QStringLiteral("&Save"));
        mExit->setEnabled(false);
        mPickers[2]->hide();
        mSampleDate->setEnabled(false);
        fillFilterLists();
    } else {
        setWindowTitle(QStringLiteral("U003 - Sign In"));
        GuiFrontEnd& ui = mWindow.frontEnd();
        ui.setMenuEnabled(MenuEntry::ViewOutcomeGroups, false);
        ui.setMenuEnabled(MenuEntry::ViewPerformanceReport, false);
        ui.setMenuEnabled(MenuEntry::Utilities, false);
    }
    mOfficeLabel->setVisible(options);
    mWibLabel->setVisible(options);
    mOffice->setVisible(options);
    mWibName->setVisible(options);
    mFilters->setVisible(options);
    layout()->activate();
    fitScreen(this, 4800, options ? 6000 : 3500);
    endOfEvent();
}

void SignInScreen::buildLayout() {
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(buildDates());
    outer->addWidget(buildFilters());
    outer->addStretch(1);
    outer->addWidget(buildButtons());

    for (QLineEdit* box : {mFiscalYear, mPeriod, mPeriodEnd, mSampleDate})
        box->installEventFilter(this);
    setTabOrder(mFiscalYear, mPeriod);
    setTabOrder(mPeriod, mPeriodEnd);
    setTabOrder(mPeriodEnd, mSampleDate);
}

// The fiscal year, the three dates with their calendar buttons, and the population.
QLayout* SignInScreen::buildDates() {
    auto* dates = new QGridLayout;
    dates->setColumnStretch(1, 1);
    mFiscalYear = new QLineEdit(this);
    mFiscalYear->setObjectName(QStringLiteral("txtFiscalYear"));
    mPeriod = dateBox(QStringLiteral("txtperiod"), this);
    mPeriodEnd = dateBox(QStringLiteral("txtPeriodEnd"), this);
    mSampleDate = dateBox(QStringLiteral("txtSampleDate"), this);
    const QIcon pickerIcon = calendarIcon();
    dates->addWidget(
        label(QStringLiteral("lblFiscalYear"), QStringLiteral("Fiscal Year"), mFiscalYear), 0, 0);
    dates->addWidget(mFiscalYear, 0, 1);
    const QString names[] = {QStringLiteral("Period Start Date"), QStringLiteral("Period End Date"),
                             QStringLiteral("Sample Start Date")};
    const QString labelNames[] = {QStringLiteral("lblperiod"), QStringLiteral("lblPeriodEnd"),
                                  QStringLiteral("lblSampleDate")};
    QLineEdit* boxes[] = {mPeriod, mPeriodEnd, mSampleDate};
    for (int i = 0; i < 3; ++i) {
        dates->addWidget(label(labelNames[i], names[i], boxes[i]), i + 1, 0);
        dates->addWidget(boxes[i], i + 1, 1);
        auto* picker = new QToolButton(this);
        picker->setObjectName(QStringLiteral("Picture%1").arg(i + 1));
        picker->setIcon(pickerIcon);
        picker->setToolTip(QStringLiteral("Pick the date on a calendar"));
        picker->setAccessibleName(names[i] + QStringLiteral(" calendar"));
        picker->setFocusPolicy(Qt::NoFocus);
        connect(picker, &QToolButton::clicked, this, [this, i] { pickDate(i); });
        dates->addWidget(picker, i + 1, 2);
        mPickers[i] = picker;
    }
    mPopulation = new QComboBox(this);
    mPopulation->setObjectName(QStringLiteral("cboPopulation"));
    mPopulation->setEditable(true);
    mPopulation->setInsertPolicy(QComboBox::NoInsert);
    mPopulation->setAccessibleName(QStringLiteral("Population"));
    nameTypingBox(mPopulation, QStringLiteral("Population"));
    mPopulation->addItem(QStringLiteral("1-Halvern"));
    setComboText(mPopulation, QStringLiteral("1- Halvern"));
    dates->addWidget(mPopulation, 4, 1);
    return dates;
}

QWidget* SignInScreen::buildFilters() {
    mFilters = new QGroupBox(this);
    mFilters->setObjectName(QStringLiteral("Frame3"));
    auto* filters = new QGridLayout(mFilters);
    filters->setColumnStretch(1, 1);
    mOffice = filterBox(QStringLiteral("cboOffice"), mFilters);
    mWibName = filterBox(QStringLiteral("cboWibName"), mFilters);
    mCaseMgr = filterBox(QStringLiteral("cboCaseMgr"), mFilters);
    mOfficeLabel = label(QStringLiteral("lblOffice"), QStringLiteral("Office Name"), mOffice);
    mWibLabel = label(QStringLiteral("lblWibName"), QStringLiteral("WIB Name"), mWibName);
    filters->addWidget(mOfficeLabel, 0, 0);
    filters->addWidget(mOffice, 0, 1);
    filters->addWidget(mWibLabel, 1, 0);
    filters->addWidget(mWibName, 1, 1);
    filters->addWidget(label(QStringLiteral("lblCaseMgr"), QStringLiteral("Case Mgr"), mCaseMgr), 2,
                       0);
    filters->addWidget(mCaseMgr, 2, 1);
    mClear = new QPushButton(QStringLiteral("&Clear Filter"), mFilters);
    mClear->setObjectName(QStringLiteral("cmdClear"));
    connect(mClear, &QPushButton::clicked, this, &SignInScreen::clearFilter);
    filters->addWidget(mClear, 3, 1, Qt::AlignRight);
    return mFilters;
}

QWidget* SignInScreen::buildButtons() {
    mButtons = new QFrame(this);
    mButtons->setObjectName(QStringLiteral("Frame1"));
    auto* buttons = new QHBoxLayout(mButtons);
    buttons->setContentsMargins(0, 0, 0, 0);
    mSignIn = new QPushButton(QStringLiteral("&Sign In"), mButtons);
    mSignIn->setObjectName(QStringLiteral("cmdsignin"));
    mSignIn->setDefault(true);
    mExit = new QPushButton(QStringLiteral("E&xit"), mButtons);
    mExit->setObjectName(QStringLiteral("cmdExit"));
    buttons->addStretch(1);
    buttons->addWidget(mSignIn);
    buttons->addWidget(mExit);
    connect(mSignIn, &QPushButton::clicked, this, &SignInScreen::signIn);
    connect(mExit, &QPushButton::clicked, this, &SignInScreen::exit);
    return mButtons;
}

void SignInScreen::loadSettings() {
    try {
        const SignInForm stored = showSettings(mWindow.session(), mMode);
        mPeriod->setText(stored.period);
        mPeriodEnd->setText(stored.periodEnd);
        setComboText(mWibName, stored.wibName);
        setComboText(mOffice, stored.officeName);
        setComboText(mCaseMgr, stored.caseMgr);
        mSampleDate->setText(stored.sampleDate);
        mFiscalYear->setText(stored.fiscalYear);
    } catch (const DbError& e) {
        mWindow.session().ui().message(e.message(), Icon::Exclamation);
    }
}

void SignInScreen::fillFilterLists() {
    try {
        const FilterLists lists = orv::fillFilterLists(mWindow.session());
        const std::pair<QComboBox*, const QStringList*> boxes[] = {
            {mOffice, &lists.offices}, {mWibName, &lists.wibNames}, {mCaseMgr, &lists.caseMgrs}};
        for (const auto& [box, items] : boxes) {
            const QString text = box->currentText();
            box->addItems(*items);
            setComboText(box, text);
        }
    } catch (const DbError& e) {
        mWindow.session().ui().message(e.message(), Icon::Exclamation);
    }
}

SignInForm SignInScreen::form() const {
    SignInForm f;
    f.fiscalYear = mFiscalYear->text();
    f.period = mPeriod->text();
    f.periodEnd = mPeriodEnd->text();
    f.sampleDate = mSampleDate->text();
    f.officeName = mOffice->currentText();
    f.wibName = mWibName->currentText();
    f.caseMgr = mCaseMgr->currentText();
    f.population = mPopulation->currentText();
    return f;
}

bool SignInScreen::eventFilter(QObject* watched, QEvent* event) {
    // The calendar opens from the keyboard too, with the keys that open a drop-down.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool opens = key->key() == Qt::Key_F4 ||
                           (key->key() == Qt::Key_Down && key->modifiers() == Qt::AltModifier);
        const QLineEdit* boxes[] = {mPeriod, mPeriodEnd, mSampleDate};
        for (int i = 0; i < 3 && opens; ++i)
            if (watched == boxes[i] && mPickers[i]->isEnabled()) {
                pickDate(i);
                return true;
            }
    }
    // A box that loses focus because the screen or the program is closing checks nothing.
    if (event->type() == QEvent::FocusOut && isVisible() && !mWindow.hasEnded()) {
        // Leaving the window (or opening a menu) is not leaving the box.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (watched == mFiscalYear)
                fiscalYearLeft();
            else if (auto* box = qobject_cast<QLineEdit*>(watched))
                dateBoxLeft(box);
        }
    }
    return QWidget::eventFilter(watched, event);
}

// Enter signs in, as in a dialog: a screen inside the main window has no default button of its
// own. The box is left first, so that it is checked as a click on the button would check it.
void SignInScreen::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && mSignIn->isEnabled()) {
        mSignIn->setFocus(Qt::OtherFocusReason);
        mSignIn->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SignInScreen::fiscalYearLeft() {
    SignInForm f = form();
    const QString shown = applyFiscalYear(f);
    mFiscalYear->setText(f.fiscalYear);
    mPeriod->setText(f.period);
    mPeriodEnd->setText(f.periodEnd);
    if (!shown.isEmpty())
        mWindow.session().ui().message(shown, Icon::None);
}

void SignInScreen::dateBoxLeft(QLineEdit* box) {
    QString text = box->text();
    const QString shown = orv::dateBoxLeft(text);
    box->setText(text);
    if (!shown.isEmpty())
        mWindow.session().ui().message(shown, Icon::Exclamation);
    endOfEvent();
}

void SignInScreen::pickDate(int index) {
    QLineEdit* boxes[] = {mPeriod, mPeriodEnd, mSampleDate};
    QLineEdit* box = boxes[index];
    box->setText(CalendarScreen::pickDate(mWindow.dialogParent(), box->text()));
    endOfEvent();
}

void SignInScreen::clearFilter() {
    for (QComboBox* box : {mOffice, mCaseMgr, mWibName})
        setComboText(box, QString());
}

void SignInScreen::signIn() {
    const SignInOutcome outcome = orv::signIn(mWindow.session(), form(), mMode);
    if (!outcome.ok) {
        mWindow.session().ui().message(outcome.failure, Icon::Exclamation);
        return;
    }
    if (mMode == SignInMode::SignIn)
        mWindow.restoreCaption();
    if (outcome.showTips)
        mWindow.showTipOfTheDay();
    // The browser and the report validation screen load afresh with the new settings.
    mWindow.closeScreen<SourceTableScreen>();
    mWindow.closeScreen<ReportValidationScreen>();
    mWindow.closeForm(this);
}

void SignInScreen::exit() {
    if (mMode == SignInMode::SignIn) {
        mWindow.endProgram();
        return;
    }
    endOfEvent();
    mWindow.closeForm(this);
}

void SignInScreen::endOfEvent() {
    mWindow.session().ui().setBusy(false);
    mWindow.session().ui().workStatus(QString());
}

} // namespace orv::ui
