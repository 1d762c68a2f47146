#pragma once

#include "validation/MasterPager.h"

#include <QAbstractTableModel>

#include <functional>
#include <memory>

class QTableView;

namespace orv::ui {

// A browse grid's rows, read a page at a time by the pager as the view asks for them: the row
// count is exact at once, and the view never holds more than what it shows.
class MasterTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit MasterTableModel(QObject* parent = nullptr);
    ~MasterTableModel() override;

    // Shows an open pager's rows (none for null), in one reset.
    void setPager(std::unique_ptr<MasterPager> pager);
    // Asked before rows not in memory are read; while it says no (an import is running, say)
    // they show empty until the next paint.
    void setReadAllowed(std::function<bool()> allowed) { mReadAllowed = std::move(allowed); }
    MasterPager* pager() const { return mPager.get(); }
    qint64 totalRows() const { return mPager ? mPager->rowCount() : 0; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::unique_ptr<MasterPager> mPager;
    std::function<bool()> mReadAllowed;
};

// A click on a column's heading sorts by it ascending, and each further click turns the order.
QString nextSortDirection(const QString& current);

// A read-only grid of the master's records over `model`, a row selected at a time. A heading
// sorts on a double-click only (the caller connects it); a click picks no column or row.
QTableView* makeRecordsGrid(QWidget* parent, MasterTableModel* model, const QString& objectName);

class Navigator;
// "Find..." (Ctrl+F) on a records grid: Find Next through the column the cursor is in, in the
// grid's order, moving the cursor to each row found.
void addRecordsFind(Navigator& window, QTableView* grid, MasterTableModel* model);
// A grid starts on its first row, as its current row, without it counting as a change of row.
void startAtFirstRow(QTableView* grid);

} // namespace orv::ui
