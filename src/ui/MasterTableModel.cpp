#include "MasterTableModel.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <QTableView>

#include <limits>

namespace orv::ui {

MasterTableModel::MasterTableModel(QObject* parent) : QAbstractTableModel(parent) {}

MasterTableModel::~MasterTableModel() = default;

void MasterTableModel::setPager(std::unique_ptr<MasterPager> pager) {
    beginResetModel();
    mPager = std::move(pager);
    endResetModel();
}

int MasterTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !mPager)
        return 0;
    return static_cast<int>(std::min<qint64>(mPager->rowCount(), std::numeric_limits<int>::max()));
}

int MasterTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !mPager ? 0 : mPager->columns().shown();
}

QVariant MasterTableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    // While an index is built the connection takes no other statement: rows not in memory
    // wait for the next paint.
    if (!mPager->isLoaded(index.row()) && (mPager->isBusy() || (mReadAllowed && !mReadAllowed())))
        return {};
    return mPager->cell(index.row(), index.column());
}

QVariant MasterTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || !mPager || section < 0)
        return {};
    if (orientation == Qt::Vertical)
        return section < rowCount() ? QVariant(section + 1) : QVariant();
    return mPager->columns().headings.value(section);
}

void startAtFirstRow(QTableView* grid) {
    const QSignalBlocker quiet(grid->selectionModel());
    grid->setCurrentIndex(grid->model()->index(0, 0));
}

Qt::ItemFlags MasterTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QString nextSortDirection(const QString& current) {
    return current == QLatin1String("Asc") ? QStringLiteral("Desc") : QStringLiteral("Asc");
}

QTableView* makeRecordsGrid(QWidget* parent, MasterTableModel* model, const QString& objectName) {
    auto* grid = new QTableView(parent);
    grid->setObjectName(objectName);
    grid->setModel(model);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setWordWrap(false);
    // The arrows walk the cells; Tab goes on to the screen's next control.
    grid->setTabKeyNavigation(false);
    // Fixed row heights keep a million records as quick as a hundred.
    grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    grid->horizontalHeader()->setSectionsClickable(false);
    return grid;
}

} // namespace orv::ui
