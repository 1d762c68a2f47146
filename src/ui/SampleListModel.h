#pragma once

#include "worksheet/SampleList.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <vector>

namespace orv::ui {

// The sample list of U010: the rows as core reads them, one column per list column.
class SampleListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role {
        MarkRole = Qt::UserRole + 1, // a mark column's Mark, as int
        RowIdRole,                   // the sample row's rowid, on every column
    };

    explicit SampleListModel(QObject* parent = nullptr);

    // Replaces every row in one reset, so that a long sample costs one relayout.
    void setRows(std::vector<SampleListRow> rows);
    const std::vector<SampleListRow>& rows() const { return mRows; }
    qint64 rowId(int row) const;
    // The row showing this sample row; -1 when it is not listed.
    int rowOf(qint64 rowId) const;
    // The column's texts, row by row, as the find screen searches them.
    QStringList columnTexts(int column) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::vector<SampleListRow> mRows;
};

} // namespace orv::ui
