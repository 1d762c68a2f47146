#include "WorksheetScreen.h"

#include "Navigator.h"
#include "SampleSummaryScreen.h"
#include "ScreenGeometry.h"

#include "session/Session.h"
#include "worksheet/History.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace orv::ui {

namespace {

const QColor kCurrentLine(255, 226, 130);
const QString kDiscardQuestion = QStringLiteral("Discard the changes to this worksheet?");

QString arrayName(const char* name, int i) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}

// Header and value boxes show the record; they take focus only for copying from them.
QLineEdit* readOnlyBox(const QString& name, const QString& text, QWidget* parent) {
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::ClickFocus);
    box->setCursorPosition(0);
    return box;
}

struct FlagBox {
    ExceptionFlag flag;
    const char* name;
    const char* caption;
};
constexpr FlagBox kFlagBoxes[] = {
    {ExceptionFlag::WrongSsn, "chkWrongSSN", "Wrong SS&N"},
    {ExceptionFlag::InvalidRecord, "chkInvalidRec", "Invali&d Record"},
    {ExceptionFlag::UnableToLocate, "chkUnableToLocate", "Unable To &Locate"},
    {ExceptionFlag::MissingRecord, "chkMissingRec", "&Missing Record"},
};

} // namespace

WorksheetScreen* WorksheetScreen::open(Navigator& window, const SampleListRow& row) {
    if (auto* open = window.screen<WorksheetScreen>()) {
        window.showForm(open);
        return open;
    }
    Session& session = window.session();
    std::optional<Worksheet> loaded;
    try {
        loaded = Worksheet::load(session.db(), row.rowId);
        // Row ids are the key; a rebuilt file could renumber them under an open list.
        if (loaded && (loaded->obs() != row.obs || loaded->ssn() != row.ssn))
            loaded.reset();
    } catch (const DbError& e) {
        session.ui().message(e.message(), Icon::Exclamation);
        return nullptr;
    }
    auto* list = window.screen<SampleSummaryScreen>();
    if (!loaded) {
        session.ui().message(QStringLiteral("This record is no longer in the sample."),
                             Icon::Exclamation);
        if (list)
            list->fillFormValDetail(list->order());
        return nullptr;
    }
    window.sampleListState().worksheetVisited = true;
    if (list) {
        list->reload();
        window.hideForm(list);
    }
    auto* screen = new WorksheetScreen(window, std::move(*loaded));
    window.showForm(screen);
    screen->mPage->setFocus();
    return screen;
}

WorksheetScreen::WorksheetScreen(Navigator& window, Worksheet worksheet)
    : mWindow(window), mWorksheet(std::move(worksheet)) {
    setObjectName(QStringLiteral("U015"));
    setWindowTitle(QStringLiteral("U015 - Data Validation Sampling."));
    buildLayout();
    render();
    setCurrentLine(0);
    fitScreen(this, 10500, 8700);
}

void WorksheetScreen::buildLayout() {
    QLayout* header = buildHeader();
    buildTabs();
    QLayout* side = buildSidePanel();
    auto* body = new QHBoxLayout;
    body->addWidget(mTabs, 1);
    body->addLayout(side);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(header);
    outer->addLayout(body, 1);
    addShortcuts();
}

// The record's keys and names, three to a row, each after its caption.
QLayout* WorksheetScreen::buildHeader() {
    const Worksheet& w = mWorksheet;
    auto* header = new QGridLayout;
    const std::pair<const char*, QLineEdit*> boxes[] = {
        {"OBS", readOnlyBox(QStringLiteral("txtOBS"), w.obs(), this)},
        {"SSN", readOnlyBox(QStringLiteral("txtSSN"), w.ssn(), this)},
        {"Sampling Unit", readOnlyBox(QStringLiteral("txtSamplingUnit"), w.samplingUnit(), this)},
        {"WIB Name", readOnlyBox(QStringLiteral("txtwibname"), w.wibName(), this)},
        {"Office Name", readOnlyBox(QStringLiteral("txtoffice"), w.officeName(), this)},
        {"User Field", readOnlyBox(QStringLiteral("txtUserField"), w.userId(), this)},
    };
    for (int i = 0; i < 6; ++i) {
        auto* caption = new QLabel(QString::fromLatin1(boxes[i].first), this);
        caption->setBuddy(boxes[i].second);
        header->addWidget(caption, i / 3, (i % 3) * 2);
        header->addWidget(boxes[i].second, i / 3, (i % 3) * 2 + 1);
        header->setColumnStretch((i % 3) * 2 + 1, 1);
    }
    return header;
}

void WorksheetScreen::buildTabs() {
    mTabs = new QTabWidget(this);
    mTabs->setObjectName(QStringLiteral("SSTab1"));
    mTabs->addTab(buildLines(), QStringLiteral("&1 - 17"));
    mComments = new QPlainTextEdit(mWorksheet.comments(), this);
    mComments->setObjectName(QStringLiteral("txtComments"));
    mComments->setTabChangesFocus(true);
    mComments->installEventFilter(this);
    mTabs->addTab(mComments, QStringLiteral("&Comments"));
    mTabs->addTab(buildHistory(), QStringLiteral("His&tory"));
    mTabs->setCurrentIndex(0);
    connect(mComments, &QPlainTextEdit::textChanged, this,
            [this] { mWorksheet.setComments(mComments->toPlainText()); });
}

// Who changed what on this record and when, read-only.
QWidget* WorksheetScreen::buildHistory() {
    mHistory = new QTableWidget(0, 7, this);
    mHistory->setObjectName(QStringLiteral("grdHistory"));
    mHistory->setAccessibleName(QStringLiteral("History"));
    // What changed first; who and from where after it, the pack's long name last.
    mHistory->setHorizontalHeaderLabels({QStringLiteral("Changed (UTC)"), QStringLiteral("Item"),
                                         QStringLiteral("Old"), QStringLiteral("New"),
                                         QStringLiteral("User"), QStringLiteral("Host"),
                                         QStringLiteral("Source")});
    mHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    mHistory->setTabKeyNavigation(false);
    mHistory->verticalHeader()->hide();
    mHistory->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    mHistory->verticalHeader()->setDefaultSectionSize(mHistory->fontMetrics().height() + 6);
    mHistory->horizontalHeader()->setStretchLastSection(true);
    mHistory->installEventFilter(this);
    refreshHistory();
    return mHistory;
}

void WorksheetScreen::refreshHistory() {
    std::vector<HistoryRow> rows;
    try {
        rows = readHistory(mWindow.session().db(), mWorksheet.obs().toLongLong());
    } catch (const DbError& e) {
        mWindow.session().ui().message(e.message(), Icon::Exclamation);
    }
    // Another record may share the OBS.
    std::erase_if(rows, [this](const HistoryRow& r) {
        return r.ssn.compare(mWorksheet.ssn(), Qt::CaseInsensitive) != 0;
    });
    mHistory->setRowCount(static_cast<int>(rows.size()));
    int row = 0;
    for (auto r = rows.crbegin(); r != rows.crend(); ++r, ++row) {
        QString when = r->changedAt;
        when.replace(QLatin1Char('T'), QLatin1Char(' ')).remove(QLatin1Char('Z'));
        const QString cells[] = {when,      r->item, r->oldValue, r->newValue,
                                 r->osUser, r->host, r->source};
        for (int c = 0; c < 7; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setToolTip(cells[c]);
            mHistory->setItem(row, c, item);
        }
    }
    mHistory->resizeColumnsToContents();
}

// The record's state, its exception flags, and the buttons under them.
QLayout* WorksheetScreen::buildSidePanel() {
    mStatus = new QLabel(mWorksheet.statusText(), this);
    mStatus->setObjectName(QStringLiteral("lblStatus"));
    QFont bold = mStatus->font();
    bold.setBold(true);
    mStatus->setFont(bold);
    mDone = new QLabel(this);
    mDone->setObjectName(QStringLiteral("lblDone"));
    QWidget* exceptions = buildExceptions();

    auto* save = new QPushButton(QStringLiteral("&Save and Exit"), this);
    save->setObjectName(QStringLiteral("cmdSave"));
    save->setToolTip(QStringLiteral("Ctrl+S"));
    auto* exit = new QPushButton(QStringLiteral("&Exit Without Saving"), this);
    exit->setObjectName(QStringLiteral("cmdExit"));
    exit->setToolTip(QStringLiteral("Esc"));
    auto* printButton = new QPushButton(QStringLiteral("&Print"), this);
    printButton->setObjectName(QStringLiteral("cmdPrint"));
    connect(save, &QPushButton::clicked, this, &WorksheetScreen::saveRecord);
    connect(exit, &QPushButton::clicked, this, &WorksheetScreen::exitWithoutSaving);
    connect(printButton, &QPushButton::clicked, this, &WorksheetScreen::print);

    auto* side = new QVBoxLayout;
    side->addWidget(mStatus);
    side->addWidget(mDone);
    side->addSpacing(8);
    side->addWidget(exceptions);
    side->addStretch(1);
    side->addWidget(save);
    side->addWidget(exit);
    side->addWidget(printButton);
    return side;
}

QWidget* WorksheetScreen::buildExceptions() {
    auto* exceptions = new QGroupBox(QStringLiteral("Exceptions"), this);
    exceptions->setObjectName(QStringLiteral("Frame1"));
    auto* flags = new QVBoxLayout(exceptions);
    for (int i = 0; i < 4; ++i) {
        const FlagBox& f = kFlagBoxes[i];
        auto* box = new QCheckBox(QString::fromLatin1(f.caption), exceptions);
        box->setObjectName(QString::fromLatin1(f.name));
        flags->addWidget(box);
        mFlags[static_cast<size_t>(i)] = box;
        const ExceptionFlag flag = f.flag;
        connect(box, &QCheckBox::clicked, this, [this, flag] { flagClicked(flag); });
    }
    return exceptions;
}

void WorksheetScreen::addShortcuts() {
    auto* saveKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
    saveKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(saveKey, &QShortcut::activated, this, &WorksheetScreen::saveRecord);
    auto* escKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escKey, &QShortcut::activated, this, &WorksheetScreen::escapePressed);
}

// The element lines: one focus stop for the whole page, so that Up and Down walk the lines and
// P, F and Space mark the current one; the boxes answer mouse clicks.
QWidget* WorksheetScreen::buildLines() {
    mPage = new QWidget(this);
    mPage->setObjectName(QStringLiteral("SSTab1Page0"));
    mPage->setFocusPolicy(Qt::StrongFocus);
    mPage->setAccessibleName(QStringLiteral("Data elements"));
    mPage->installEventFilter(this);
    auto* grid = new QGridLayout(mPage);
    grid->setVerticalSpacing(1);
    grid->setContentsMargins(6, 4, 6, 4);
    const char* headings[] = {"Data Elements", "Reported Value", "Pass", "Fail"};
    for (int c = 0; c < 4; ++c) {
        auto* heading = new QLabel(QString::fromLatin1(headings[c]), mPage);
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        grid->addWidget(heading, 0, c, c >= 2 ? Qt::AlignHCenter : Qt::AlignLeft);
    }
    for (int i = 0; i < kElementCount; ++i) {
        const WorksheetLine& l = mWorksheet.line(i);
        Line& line = mLines[static_cast<size_t>(i)];
        // Made first, so that it lies under the line's other controls.
        line.background = new QFrame(mPage);
        line.background->setPalette(QPalette(kCurrentLine));
        line.background->setBackgroundRole(QPalette::Window);
        grid->addWidget(line.background, i + 1, 0, 1, 4);
        line.label = new QLabel(l.label, mPage);
        line.label->setObjectName(arrayName("Label1", i));
        line.label->setContentsMargins(4, 0, 4, 0);
        line.value = readOnlyBox(arrayName("Text3", i), l.value, mPage);
        line.value->installEventFilter(this);
        line.label->setBuddy(line.value);
        line.pass = new QCheckBox(mPage);
        line.pass->setObjectName(arrayName("Check1", i));
        line.pass->setAccessibleName(QStringLiteral("Pass ") + l.label);
        line.pass->setFocusPolicy(Qt::NoFocus);
        line.fail = new QCheckBox(mPage);
        line.fail->setObjectName(arrayName("Check2", i));
        line.fail->setAccessibleName(QStringLiteral("Fail ") + l.label);
        line.fail->setFocusPolicy(Qt::NoFocus);
        grid->addWidget(line.label, i + 1, 0);
        grid->addWidget(line.value, i + 1, 1);
        grid->addWidget(line.pass, i + 1, 2, Qt::AlignHCenter);
        grid->addWidget(line.fail, i + 1, 3, Qt::AlignHCenter);
        connect(line.pass, &QCheckBox::clicked, this, [this, i] { lineClicked(i, Mark::Pass); });
        connect(line.fail, &QCheckBox::clicked, this, [this, i] { lineClicked(i, Mark::Fail); });
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(2, 48);
    grid->setColumnMinimumWidth(3, 48);
    grid->setRowStretch(kElementCount + 1, 1);
    return mPage;
}

void WorksheetScreen::render() {
    for (int i = 0; i < kElementCount; ++i) {
        const WorksheetLine& l = mWorksheet.line(i);
        const Line& line = mLines[static_cast<size_t>(i)];
        const QSignalBlocker blockPass(line.pass);
        const QSignalBlocker blockFail(line.fail);
        line.pass->setChecked(l.mark == Mark::Pass);
        line.fail->setChecked(l.mark == Mark::Fail);
        line.pass->setEnabled(l.enabled);
        line.fail->setEnabled(l.enabled);
    }
    for (int i = 0; i < 4; ++i) {
        const QSignalBlocker block(mFlags[static_cast<size_t>(i)]);
        mFlags[static_cast<size_t>(i)]->setChecked(mWorksheet.flag(kFlagBoxes[i].flag));
    }
    mDone->setText(QStringLiteral("%1 of %2 done").arg(mWorksheet.doneCount()).arg(kElementCount));
}

void WorksheetScreen::setCurrentLine(int line) {
    mCurrent = qBound(0, line, kElementCount - 1);
    for (int i = 0; i < kElementCount; ++i)
        mLines[static_cast<size_t>(i)].background->setAutoFillBackground(i == mCurrent);
}

void WorksheetScreen::lineClicked(int line, Mark box) {
    if (box == Mark::Pass)
        mWorksheet.clickPass(line);
    else
        mWorksheet.clickFail(line);
    setCurrentLine(line);
    render();
    mPage->setFocus(Qt::MouseFocusReason);
}

void WorksheetScreen::flagClicked(ExceptionFlag flag) {
    mWorksheet.clickFlag(flag, mWindow.session().ui());
    render();
}

bool WorksheetScreen::lineKey(int key) {
    switch (key) {
    case Qt::Key_Up:
        setCurrentLine(mCurrent - 1);
        return true;
    case Qt::Key_Down:
        setCurrentLine(mCurrent + 1);
        return true;
    case Qt::Key_P:
        mWorksheet.setMark(mCurrent, Mark::Pass);
        break;
    case Qt::Key_F:
        mWorksheet.setMark(mCurrent, Mark::Fail);
        break;
    case Qt::Key_Space:
        mWorksheet.setMark(mCurrent, Mark::None);
        break;
    default:
        return false;
    }
    render();
    return true;
}

bool WorksheetScreen::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Ctrl+PgDn and Ctrl+PgUp turn the tabs from anywhere on them (the screen area keeps
        // Ctrl+Tab for going from screen to screen).
        if (key->modifiers() == Qt::ControlModifier &&
            (key->key() == Qt::Key_PageDown || key->key() == Qt::Key_PageUp)) {
            const int step = key->key() == Qt::Key_PageDown ? 1 : -1;
            mTabs->setCurrentIndex((mTabs->currentIndex() + step + mTabs->count()) %
                                   mTabs->count());
            return true;
        }
        // The value boxes are read-only: the line keys work there as on the page.
        if (watched != mPage && !qobject_cast<QLineEdit*>(watched))
            break;
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            break;
        if (lineKey(key->key()))
            return true;
        break;
    }
    case QEvent::MouseButtonPress:
        if (watched == mPage) {
            // A click anywhere on a line (its label, say) makes it the current line.
            const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
            for (int i = 0; i < kElementCount; ++i) {
                if (mLines[static_cast<size_t>(i)].background->geometry().contains(at))
                    setCurrentLine(i);
            }
        }
        break;
    case QEvent::FocusIn:
        for (int i = 0; i < kElementCount; ++i) {
            if (watched == mLines[static_cast<size_t>(i)].value)
                setCurrentLine(i);
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool WorksheetScreen::store() {
    try {
        Session& session = mWindow.session();
        mWorksheet.save(session.db(), session.historySource(QStringLiteral("screen")));
        session.saveWork();
    } catch (const DbError& e) {
        // The screen stays open with everything entered.
        mWindow.session().ui().message(e.message(), Icon::Exclamation);
        return false;
    }
    refreshHistory();
    return true;
}

void WorksheetScreen::saveRecord() {
    // While an import holds the database the screen is disabled; shortcuts must not slip by.
    if (isEnabled() && store())
        leave();
}

void WorksheetScreen::exitWithoutSaving() {
    if (!isEnabled())
        return;
    leave();
}

void WorksheetScreen::escapePressed() {
    if (isEnabled() && discardConfirmed())
        leave();
}

bool WorksheetScreen::discardConfirmed() {
    return !mWorksheet.isModified() ||
           mWindow.session().ui().askYesNo(kDiscardQuestion, Icon::Question);
}

void WorksheetScreen::print() {
    if (!isEnabled())
        return;
    FrontEnd& ui = mWindow.session().ui();
    // The screen may be gone after the save.
    const QString obs = mWorksheet.obs();
    Navigator& window = mWindow;
    if (ui.askYesNo(QStringLiteral("Would You like to Save before Printing the Report?"),
                    Icon::Question)) {
        if (!store())
            return;
        leave();
    }
    window.printReport(QStringLiteral("R005-1"), obs);
}

void WorksheetScreen::leave() {
    const qint64 rowId = mWorksheet.rowId();
    auto* list = mWindow.screen<SampleSummaryScreen>();
    mWindow.closeForm(this);
    if (list)
        list->showAfterWorksheet(rowId, true);
    mWindow.session().ui().setBusy(false);
    mWindow.session().ui().workStatus(QString());
}

void WorksheetScreen::closeEvent(QCloseEvent* event) {
    if (mWindow.hasEnded()) {
        QWidget::closeEvent(event);
        return;
    }
    if (!isEnabled() || !discardConfirmed()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
    if (auto* list = mWindow.screen<SampleSummaryScreen>())
        list->showAfterWorksheet(mWorksheet.rowId(), false);
}

} // namespace orv::ui
