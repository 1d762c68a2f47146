#include "SampleListModel.h"

#include <QColor>

namespace orv::ui {

namespace {
const QColor kCompletedRow(192, 189, 239);
const QColor kCompletedRowText(Qt::black);
// A completed row is told by its colour on screen and by this word to a screen reader.
const QString kCompletedText = QStringLiteral("Done");

QString markName(Mark mark) {
    switch (mark) {
    case Mark::Pass:
        return QStringLiteral("Pass");
    case Mark::Fail:
        return QStringLiteral("Fail");
    case Mark::None:
        break;
    }
    return QStringLiteral("not marked");
}
} // namespace

SampleListModel::SampleListModel(QObject* parent) : QAbstractTableModel(parent) {}

void SampleListModel::setRows(std::vector<SampleListRow> rows) {
    beginResetModel();
    mRows = std::move(rows);
    endResetModel();
}

qint64 SampleListModel::rowId(int row) const {
    return row >= 0 && row < rowCount() ? mRows[static_cast<size_t>(row)].rowId : 0;
}

int SampleListModel::rowOf(qint64 rowId) const {
    for (size_t i = 0; i < mRows.size(); ++i) {
        if (mRows[i].rowId == rowId)
            return static_cast<int>(i);
    }
    return -1;
}

QStringList SampleListModel::columnTexts(int column) const {
    QStringList texts;
    texts.reserve(rowCount());
    for (const SampleListRow& row : mRows)
        texts << row.cellText(column);
    return texts;
}

int SampleListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(mRows.size());
}

int SampleListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kListColumnCount;
}

QVariant SampleListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const SampleListRow& row = mRows[static_cast<size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return row.cellText(column);
    case MarkRole:
        if (isMarkColumn(column))
            return static_cast<int>(row.marks[listColumnElement(column)]);
        return {};
    case Qt::AccessibleTextRole:
        if (isMarkColumn(column))
            return markName(row.marks[listColumnElement(column)]);
        return row.cellText(column);
    case Qt::AccessibleDescriptionRole:
        if (row.completed)
            return kCompletedText;
        return {};
    case RowIdRole:
        return row.rowId;
    case Qt::BackgroundRole:
        if (row.completed)
            return kCompletedRow;
        return {};
    // The row's fixed colour is light: its text is dark whatever the desktop's palette.
    case Qt::ForegroundRole:
        if (row.completed)
            return kCompletedRowText;
        return {};
    default:
        break;
    }
    return {};
}

QVariant SampleListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        // Row numbers as the find screen reports them.
        if (section < 0 || section >= rowCount())
            return {};
        const bool completed = mRows[static_cast<size_t>(section)].completed;
        // A completed row says so in words beside its colour, for whoever cannot tell the
        // colour; a screen reader reads the header on moving to another row.
        if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
            if (completed)
                return QStringLiteral("%1 %2").arg(section + 1).arg(kCompletedText);
            return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
        }
        if (role == Qt::AccessibleDescriptionRole && completed)
            return kCompletedText;
        return {};
    }
    if (section < 0 || section >= kListColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return listColumnHeader(section);
    // Every mark column reads "Pass/Fail": the tip, and a screen reader, say whose it is.
    if ((role == Qt::ToolTipRole || role == Qt::AccessibleTextRole) && isMarkColumn(section))
        return QString::fromLatin1(kDataElements[listColumnElement(section)].listName) +
               QStringLiteral(" pass/fail");
    return {};
}

Qt::ItemFlags SampleListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

} // namespace orv::ui
