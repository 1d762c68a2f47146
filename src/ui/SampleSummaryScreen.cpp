#include "SampleSummaryScreen.h"

#include "Colours.h"
#include "FindScreen.h"
#include "GridExportAction.h"
#include "MarkDelegate.h"
#include "Navigator.h"
#include "SampleListModel.h"
#include "ScreenGeometry.h"
#include "WorksheetScreen.h"

#include "exports/SampleListSource.h"
#include "session/Session.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace orv::ui {

namespace {

const QString kInitialTitle = QStringLiteral("right click in grid area to search for OBS.") +
                              QString(40, QLatin1Char(' ')) + QStringLiteral("Detail");
const QString kListTip = QStringLiteral(
    "Double Click the arrow on left-hand side to display individual record in a form view.");
const QColor kSortTitleColour(0, 0, 255);

QLabel* countLabel(const char* name, QWidget* parent) {
    auto* l = new QLabel(QStringLiteral("0"), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setMinimumWidth(48);
    l->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

} // namespace

SampleSummaryScreen::SampleSummaryScreen(Navigator& window) : mWindow(window) {
    setObjectName(QStringLiteral("U010"));
    setWindowTitle(QStringLiteral("U010 - Data Validation Sampling."));
    buildLayout();
    fitScreen(this, 13500, 8400);
    reload();
}

void SampleSummaryScreen::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    mWindow.sampleListState().worksheetVisited = false;
}

Session& SampleSummaryScreen::session() {
    return mWindow.session();
}

// The parts are made in tab order, which is the order their widgets are made in.
void SampleSummaryScreen::buildLayout() {
    buildTitles();
    buildList();
    buildFailedSums();
    QLayout* bottom = buildButtonRow(buildCounts());
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(mTitle);
    outer->addWidget(mListTitle);
    outer->addWidget(mList, 1);
    outer->addWidget(mSums);
    outer->addLayout(bottom);
}

void SampleSummaryScreen::buildTitles() {
    mTitle = new QLabel(this);
    mTitle->setObjectName(QStringLiteral("Label1"));
    QFont big = mTitle->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.2);
    mTitle->setFont(big);

    mListTitle = new QLabel(this);
    mListTitle->setObjectName(QStringLiteral("ctList1Title"));
    mListTitle->setTextFormat(Qt::PlainText);
}

void SampleSummaryScreen::buildList() {
    mModel = new SampleListModel(this);
    mList = new QTableView(this);
    mList->setObjectName(QStringLiteral("ctList1"));
    mList->setAccessibleName(QStringLiteral("Sample list"));
    mList->setModel(mModel);
    mList->setItemDelegate(new MarkDelegate(mList));
    mList->setSelectionBehavior(QAbstractItemView::SelectRows);
    mList->setSelectionMode(QAbstractItemView::SingleSelection);
    mList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mList->setSortingEnabled(false);
    mList->setWordWrap(false);
    // The arrows walk the cells; Tab goes on to the buttons.
    mList->setTabKeyNavigation(false);
    mList->setToolTip(kListTip);
    // Fixed row heights keep a sample of thousands as quick as one of a hundred.
    mList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    mList->verticalHeader()->setDefaultSectionSize(mList->fontMetrics().height() + 6);
    mList->verticalHeader()->setToolTip(kListTip);
    mList->horizontalHeader()->setHighlightSections(false);
    mList->installEventFilter(this);
    mList->viewport()->installEventFilter(this);
    mList->horizontalHeader()->viewport()->installEventFilter(this);
    connect(mList->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &SampleSummaryScreen::sortByColumn);
    connect(mList, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { openWorksheet(index.row()); });
    connect(mList->verticalHeader(), &QHeaderView::sectionDoubleClicked, this,
            &SampleSummaryScreen::openWorksheet);

    // The keyboard's way to the right-click: Find on the column the cursor is in.
    auto* find = new QAction(QStringLiteral("Find..."), mList);
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(find, &QAction::triggered, this, [this] {
        const QModelIndex current = mList->currentIndex();
        findInColumn(current.isValid() ? current.column() : 0);
    });
    mList->addAction(find);
    addSortAction(mList, [this](int column) { sortByColumn(column); });
}

// One row of failed marks per element, as tall as its row and scroll bar.
void SampleSummaryScreen::buildFailedSums() {
    mSums = new QTableWidget(1, kElementCount, this);
    mSums->setObjectName(QStringLiteral("grdsumm"));
    mSums->setAccessibleName(QStringLiteral("Failed marks per data element"));
    QStringList headers;
    for (const DataElement& e : kDataElements)
        headers << QString::fromLatin1(e.failSumName);
    mSums->setHorizontalHeaderLabels(headers);
    mSums->verticalHeader()->hide();
    mSums->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mSums->setSelectionMode(QAbstractItemView::NoSelection);
    mSums->setFocusPolicy(Qt::NoFocus);
    mSums->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    mSums->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mSums->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (int i = 0; i < kElementCount; ++i) {
        auto* cell = new QTableWidgetItem;
        cell->setTextAlignment(Qt::AlignCenter);
        cell->setFlags(Qt::ItemIsEnabled);
        mSums->setItem(0, i, cell);
    }
    mSums->setFixedHeight(mSums->horizontalHeader()->sizeHint().height() +
                          mSums->verticalHeader()->defaultSectionSize() +
                          mSums->horizontalScrollBar()->sizeHint().height() +
                          2 * mSums->frameWidth());
}

// The sample's counts, three to a row, each after its caption.
QLayout* SampleSummaryScreen::buildCounts() {
    mTotalSampled = countLabel("lblTotalSampled", this);
    mInspected = countLabel("lblInspected", this);
    mWrongSsn = countLabel("lblWrongSSN", this);
    mInvalidRec = countLabel("lblInvalidRec", this);
    mUnableToLocate = countLabel("lblUnableToLocate", this);
    mMissingRec = countLabel("lblMissingRec", this);
    QLabel* counts[] = {mTotalSampled, mInspected,      mWrongSsn,
                        mInvalidRec,   mUnableToLocate, mMissingRec};
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    for (int i = 0; i < 6; ++i) {
        auto* text = new QLabel(QString::fromLatin1(kTotalLabels[i]), this);
        text->setBuddy(counts[i]);
        grid->addWidget(text, i / 3, (i % 3) * 2, Qt::AlignRight);
        grid->addWidget(counts[i], i / 3, (i % 3) * 2 + 1);
    }
    return grid;
}

// The counts, then the export buttons and Exit at the right.
QLayout* SampleSummaryScreen::buildButtonRow(QLayout* counts) {
    auto* exit = new QPushButton(QStringLiteral("E&xit"), this);
    exit->setObjectName(QStringLiteral("cmdExit"));
    connect(exit, &QPushButton::clicked, this, &SampleSummaryScreen::exitClicked);

    // Right-click on the list finds, so the exports are buttons here besides their keys.
    const GridExportActions exports = addGridExportActions(mWindow, this, [this] {
        return std::make_unique<SampleListSource>(session().db(), mOrder);
    });
    // A field pack's records go nowhere unsealed.
    const bool pack = session().isPack();
    auto exportButton = [this, pack](QAction* action, const char* name) {
        auto* button = new QPushButton(action->text(), this);
        button->setObjectName(QString::fromLatin1(name));
        button->setToolTip(pack ? kNotInPack
                                : action->shortcut().toString(QKeySequence::NativeText));
        action->setEnabled(!pack);
        button->setEnabled(!pack);
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
        return button;
    };

    auto* bottom = new QHBoxLayout;
    bottom->addLayout(counts);
    bottom->addStretch(1);
    bottom->addWidget(exportButton(exports.excel, "cmdExportExcel"), 0, Qt::AlignBottom);
    bottom->addWidget(exportButton(exports.csv, "cmdExportCsv"), 0, Qt::AlignBottom);
    bottom->addWidget(exit, 0, Qt::AlignBottom);
    return bottom;
}

void SampleSummaryScreen::reload() {
    mTitle->setText(QStringLiteral("Detailed Summary of ORV Data Validation Worksheet "));
    setTitle(kInitialTitle, false);
    mLastDirection.clear();
    updateChk();
    fillFormValDetail(SampleOrder{});
    setColumnWidths(true);
}

void SampleSummaryScreen::setTitle(const QString& text, bool sorted) {
    mListTitle->setText(text);
    QPalette palette = mListTitle->parentWidget()->palette();
    if (sorted)
        palette.setColor(QPalette::WindowText,
                         readableOn(kSortTitleColour, palette.color(QPalette::Window)));
    mListTitle->setPalette(palette);
}

void SampleSummaryScreen::setColumnWidths(bool all) {
    QHeaderView* header = mList->horizontalHeader();
    for (int c = 0; c < kListColumnCount; ++c) {
        if (all || c == 0 || c == 1 || c == 3)
            header->resizeSection(c, listColumnWidth(c));
    }
}

void SampleSummaryScreen::updateChk() {
    try {
        mInspected->setText(QString::number(readSampleTotals(session().db()).inspected));
    } catch (const DbError& e) {
        session().ui().message(e.message(), Icon::Exclamation);
    }
}

void SampleSummaryScreen::fillSampleTotals() {
    try {
        const SampleTotals t = readSampleTotals(session().db());
        for (int i = 0; i < kElementCount; ++i)
            mSums->item(0, i)->setText(displayText(t.failed[i]));
        mInspected->setText(QString::number(t.inspected));
        mMissingRec->setText(QString::number(t.missingRecord));
        mWrongSsn->setText(QString::number(t.wrongSsn));
        mUnableToLocate->setText(QString::number(t.unableToLocate));
        mInvalidRec->setText(QString::number(t.invalidRecord));
    } catch (const DbError& e) {
        session().ui().message(e.message(), Icon::Exclamation);
    }
}

void SampleSummaryScreen::fillFormValDetail(const SampleOrder& order) {
    FrontEnd& ui = session().ui();
    try {
        if (order.isSet() && mWindow.sampleListState().worksheetVisited)
            setTitle(order.title(), true);
        ui.setBusy(true);
        std::vector<SampleListRow> rows = readSampleList(session().db(), order);
        mTotalSampled->setText(QString::number(rows.size()));
        mModel->setRows(std::move(rows));
        setColumnWidths(false);
        mOrder = order;
        ui.setBusy(false);
        fillSampleTotals();
    } catch (const DbError& e) {
        ui.setBusy(false);
        ui.message(e.message(), Icon::Exclamation);
    }
}

void SampleSummaryScreen::sortByColumn(int column) {
    if (column < 0 || column >= kListColumnCount)
        return;
    const SampleOrder order = headerClickOrder(column, mLastDirection);
    mLastDirection = order.directionText();
    mWindow.sampleListState().order = order;
    setTitle(order.title(), true);
    fillFormValDetail(order);
    endOfEvent();
}

void SampleSummaryScreen::openWorksheet(int row) {
    if (row < 0 || row >= mModel->rowCount())
        return;
    WorksheetScreen::open(mWindow, mModel->rows()[static_cast<size_t>(row)]);
}

void SampleSummaryScreen::findInColumn(int column) {
    if (column < 0 || column >= kListColumnCount)
        return;
    QPointer<SampleSummaryScreen> self(this);
    auto* find = new FindScreen(mWindow, listColumnHeader(column), mModel->columnTexts(column),
                                [self](qint64 row) {
                                    if (self)
                                        self->selectRow(static_cast<int>(row));
                                });
    mWindow.showForm(find, ScreenMode::Modal);
    // The keyboard goes on from the row found.
    if (self)
        mList->setFocus();
}

void SampleSummaryScreen::showAfterWorksheet(qint64 rowId, bool refill) {
    if (refill)
        fillFormValDetail(mWindow.sampleListState().order);
    mWindow.showForm(this);
    // The row just worked on stays under the cursor, so the keyboard goes on from it.
    selectRow(mModel->rowOf(rowId));
    mList->setFocus();
}

void SampleSummaryScreen::selectRow(int row) {
    QItemSelectionModel* selection = mList->selectionModel();
    if (row < 0 || row >= mModel->rowCount()) {
        selection->clearSelection();
        return;
    }
    const QModelIndex index = mModel->index(row, 0);
    selection->setCurrentIndex(index,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    mList->scrollTo(index);
}

int SampleSummaryScreen::selectedRow() const {
    const QModelIndexList rows = mList->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

bool SampleSummaryScreen::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == mList) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openWorksheet(selectedRow());
            return true;
        }
    } else if (event->type() == QEvent::ContextMenu) {
        const QPoint at = static_cast<QContextMenuEvent*>(event)->pos();
        if (watched == mList->viewport()) {
            findInColumn(mList->columnAt(at.x()));
            return true;
        }
        if (watched == mList->horizontalHeader()->viewport()) {
            findInColumn(mList->horizontalHeader()->logicalIndexAt(at));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SampleSummaryScreen::exitClicked() {
    mWindow.closeForm(this);
    mWindow.sampleListState().worksheetVisited = false;
    endOfEvent();
}

void SampleSummaryScreen::endOfEvent() {
    session().ui().setBusy(false);
    session().ui().workStatus(QString());
}

} // namespace orv::ui
