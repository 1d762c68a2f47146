#include "MasterTableModel.h"

#include "FindScreen.h"
#include "Navigator.h"

#include "worksheet/ColumnSearch.h"

#include <QAction>
#include <QHeaderView>
#include <QPointer>
#include <QSignalBlocker>
#include <QTableView>

#include <algorithm>
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

void addRecordsFind(Navigator& window, QTableView* grid, MasterTableModel* model) {
    auto* find = new QAction(QStringLiteral("Find..."), grid);
    find->setObjectName(QStringLiteral("actFind"));
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(find, &QAction::triggered, grid, [&window, grid, model] {
        MasterPager* pager = model->pager();
        if (!pager || pager->rowCount() == 0)
            return;
        const int column = std::max(grid->currentIndex().column(), 0);
        ColumnSearch how(
            [pager, column](qint64 after, const ColumnSearch::Matches& matches) {
                return pager->findAfter(after, column, matches);
            },
            true);
        QPointer<QTableView> view(grid);
        auto* screen = new FindScreen(window, model->headerData(column, Qt::Horizontal).toString(),
                                      std::move(how), [view, model, column](qint64 row) {
                                          if (!view)
                                              return;
                                          if (row < 0) {
                                              view->clearSelection();
                                              return;
                                          }
                                          const QModelIndex at =
                                              model->index(static_cast<int>(row), column);
                                          view->setCurrentIndex(at);
                                          view->scrollTo(at);
                                      });
        window.showForm(screen, ScreenMode::Modal);
        if (view)
            view->setFocus();
    });
    grid->addAction(find);
}

} // namespace orv::ui
