#include "ReportValidationScreen.h"

#include "GridExportAction.h"
#include "GridProgress.h"
#include "MasterTableModel.h"
#include "Navigator.h"
#include "ScreenGeometry.h"

#include "exports/MasterGridSources.h"
#include "session/Session.h"
#include "validation/OutcomeGroupSummary.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace orv::ui {

namespace {

const QString kSummaryTip = QStringLiteral("Double Click the arrow on left-hand side to view "
                                           "individual records in each performance outcome group.");
const QString kDetailTip =
    QStringLiteral("Double Click on the heading of the column you would like to sort by.");

} // namespace

ReportValidationScreen::ReportValidationScreen(Navigator& window) : mWindow(window) {
    setObjectName(QStringLiteral("U006"));
    setWindowTitle(QStringLiteral("U006 - View RV Table"));
    buildLayout();
    fitScreen(this, 14400, 8400);
    fillFormValSumm();
    // Wide enough for the whole summary: its columns, and the margins around it, the tab
    // page's frame allowed for.
    auto margins = [](const QLayout* l) {
        return l ? l->contentsMargins().left() + l->contentsMargins().right() : 0;
    };
    const int summaryWidth =
        mSummary->verticalHeader()->sizeHint().width() + mSummary->horizontalHeader()->length() +
        mSummary->verticalScrollBar()->sizeHint().width() + 2 * mSummary->frameWidth() +
        margins(layout()) + margins(mSummary->parentWidget()->layout()) + twips(400);
    resize(std::max(width(), summaryWidth), height());
}

ReportValidationScreen::~ReportValidationScreen() = default;

Session& ReportValidationScreen::session() {
    return mWindow.session();
}

void ReportValidationScreen::buildLayout() {
    mTabs = new QTabWidget(this);
    mTabs->setObjectName(QStringLiteral("SSTab1"));
    mTabs->addTab(buildSummaryTab(), QStringLiteral("&Summary"));
    mTabs->addTab(buildDetailTab(), QStringLiteral("&Detail"));
    addExports();
    QWidget* buttons = buildButtons();
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(mTabs, 1);
    outer->addWidget(buttons);
}

QWidget* ReportValidationScreen::buildSummaryTab() {
    auto* summaryTab = new QWidget;
    mTitle = new QLabel(summaryTab);
    mTitle->setObjectName(QStringLiteral("Label1"));
    QFont big = mTitle->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.2);
    mTitle->setFont(big);
    mSummary = new QTableWidget(0, kSummaryColumns, summaryTab);
    mSummary->setObjectName(QStringLiteral("grdsummary"));
    mSummary->setAccessibleName(QStringLiteral("Performance outcome groups"));
    mSummary->setEditTriggers(QAbstractItemView::NoEditTriggers);
    mSummary->setSelectionBehavior(QAbstractItemView::SelectRows);
    mSummary->setSelectionMode(QAbstractItemView::SingleSelection);
    mSummary->setWordWrap(false);
    mSummary->setTabKeyNavigation(false);
    mSummary->setToolTip(kSummaryTip);
    mSummary->verticalHeader()->setToolTip(kSummaryTip);
    mSummary->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // The record selector: a narrow column to double-click.
    mSummary->verticalHeader()->setMinimumWidth(twips(300));
    connect(mSummary->verticalHeader(), &QHeaderView::sectionDoubleClicked, this,
            &ReportValidationScreen::openGroup);
    connect(mSummary, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { openGroup(row); });
    // The keyboard's double-click: Enter opens the group under the cursor.
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* open =
            new QShortcut(QKeySequence(key), mSummary, nullptr, nullptr, Qt::WidgetShortcut);
        connect(open, &QShortcut::activated, this, [this] {
            if (mSummary->currentRow() >= 0)
                openGroup(mSummary->currentRow());
        });
    }
    auto* summaryLayout = new QVBoxLayout(summaryTab);
    summaryLayout->addWidget(mTitle);
    summaryLayout->addWidget(mSummary, 1);
    return summaryTab;
}

QWidget* ReportValidationScreen::buildDetailTab() {
    auto* detailTab = new QWidget;
    auto* totalCaption = new QLabel(QStringLiteral("Total Number of Records:"), detailTab);
    totalCaption->setObjectName(QStringLiteral("Label2"));
    mTotal = new QLabel(detailTab);
    mTotal->setObjectName(QStringLiteral("Label3"));
    mCurrentRow = new QLabel(detailTab);
    mCurrentRow->setObjectName(QStringLiteral("Label4"));
    mCurrentRow->hide();
    buildDetailGrid(detailTab);
    auto* counts = new QHBoxLayout;
    counts->addWidget(totalCaption);
    counts->addWidget(mTotal);
    counts->addSpacing(twips(600));
    counts->addWidget(mCurrentRow);
    counts->addStretch(1);
    auto* detailLayout = new QVBoxLayout(detailTab);
    detailLayout->addLayout(counts);
    detailLayout->addWidget(mDetail, 1);
    return detailTab;
}

void ReportValidationScreen::buildDetailGrid(QWidget* detailTab) {
    mDetailModel = new MasterTableModel(this);
    // An import yields to the window as it replaces the records: the grid must not read them.
    mDetailModel->setReadAllowed([this] { return !mWindow.isImporting(); });
    mDetail = makeRecordsGrid(detailTab, mDetailModel, QStringLiteral("grdDetail"));
    mDetail->setAccessibleName(QStringLiteral("Records of the outcome group"));
    mDetail->setToolTip(kDetailTip);
    mDetail->horizontalHeader()->setToolTip(kDetailTip);
    connect(mDetail->horizontalHeader(), &QHeaderView::sectionDoubleClicked, this,
            &ReportValidationScreen::sortDetail);
    addRecordsFind(mWindow, mDetail, mDetailModel);
    addSortAction(mDetail, [this](int column) { sortDetail(column); });
    connect(mDetail->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!current.isValid())
                    return;
                mCurrentRow->setText(QStringLiteral("Current Row Number ") +
                                     QString::number(current.row() + 1));
                mCurrentRow->show();
            });
}

// The keys export the grid of the tab shown.
void ReportValidationScreen::addExports() {
    const GridExportActions exports =
        addGridExportActions(mWindow, this, [this]() -> std::unique_ptr<GridRowSource> {
            if (mTabs->currentIndex() == 0)
                return std::make_unique<OutcomeSummarySource>(session().db(),
                                                              session().recordFilter());
            MasterPager* shown = mDetailModel->pager();
            return shown ? std::make_unique<MasterPagerSource>(*shown) : nullptr;
        });
    addGridExportMenu(mSummary, exports);
    addGridExportMenu(mDetail, exports);
}

QWidget* ReportValidationScreen::buildButtons() {
    auto* frame = new QWidget(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* exit = new QPushButton(QStringLiteral("E&xit"), frame);
    exit->setObjectName(QStringLiteral("cmdExit"));
    connect(exit, &QPushButton::clicked, this, &ReportValidationScreen::exitScreen);
    auto* buttons = new QHBoxLayout(frame);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch(1);
    buttons->addWidget(exit);
    return frame;
}

void ReportValidationScreen::fillFormValSumm() {
    QStringList headings;
    for (int c = 0; c < kSummaryColumns; ++c)
        headings << summaryHeading(c);
    mSummary->setHorizontalHeaderLabels(headings);
    mSummary->setColumnHidden(kSummaryKeyColumn, true);
    mTabs->setTabEnabled(1, false);
    mTitle->setText(QStringLiteral("Orvane Report Validation. "));
    std::vector<QVariantList> rows;
    try {
        rows = readOutcomeGroupSummary(session().db(), session().recordFilter());
    } catch (const DbError& e) {
        session().ui().message(e.message(), Icon::Exclamation);
    }
    mSummary->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        mSummary->setVerticalHeaderItem(r, new QTableWidgetItem(QString()));
        const QVariantList& row = rows[static_cast<size_t>(r)];
        for (int c = 0; c < kSummaryColumns; ++c) {
            const QVariant& value = row.value(c);
            auto* item = new QTableWidgetItem(cellText(value));
            if (value.typeId() != QMetaType::QString)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            mSummary->setItem(r, c, item);
        }
    }
    // The widths given, or wider where a heading or a value needs it: nothing is clipped.
    for (int c = 0; c < kSummaryKeyColumn; ++c) {
        mSummary->resizeColumnToContents(c);
        mSummary->setColumnWidth(c,
                                 std::max(twips(summaryWidthTwips(c)), mSummary->columnWidth(c)));
    }
}

void ReportValidationScreen::openGroup(int summaryRow) {
    const QTableWidgetItem* key = mSummary->item(summaryRow, kSummaryKeyColumn);
    if (!key)
        return;
    mDirection = QStringLiteral("Asc");
    fillFormValDet(key->text().toInt());
}

bool ReportValidationScreen::fillFormValDet(int group, const QString& column,
                                            const QString& direction) {
    const QString selection =
        column.isEmpty()
            ? QStringLiteral("%1 order by obs").arg(group)
            : QStringLiteral("%1 order by [%2] %3").arg(QString::number(group), column, direction);
    auto pager =
        openPager(session(), this, group, MasterOrder{column, direction == QLatin1String("Desc")},
                  QStringLiteral("Sorting the records of group %1.").arg(group));
    if (!pager)
        return false;
    mGroup = group;
    mDetailModel->setPager(std::move(pager));
    startAtFirstRow(mDetail);
    mTabs->setTabEnabled(1, true);
    mTotal->setText(QString::number(mDetailModel->totalRows()));
    mCurrentRow->hide();
    mTabs->setCurrentIndex(1);
    mTabs->setTabText(1, QStringLiteral("&Detail for Group ") + selection);
    return true;
}

void ReportValidationScreen::sortDetail(int column) {
    const MasterPager* shown = mDetailModel->pager();
    if (!shown || column < 0 || column >= shown->columns().shown())
        return;
    const QString next = nextSortDirection(mDirection);
    if (fillFormValDet(mGroup, shown->columns().names[column], next))
        mDirection = next;
}

void ReportValidationScreen::exitScreen() {
    mTabs->setCurrentIndex(0);
    // Hidden, not closed: opened again it shows what it showed.
    mWindow.hideForm(this);
}

} // namespace orv::ui
