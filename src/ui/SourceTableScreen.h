#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QTableView;

namespace orv {
class Session;
}

namespace orv::ui {

class Navigator;
class MasterTableModel;

// U002, the source data table: the grouped master records that pass the record filter, by obs
// until a heading's double-click sorts them by its column. Read-only.
class SourceTableScreen : public QWidget {
    Q_OBJECT
public:
    explicit SourceTableScreen(Navigator& window);
    ~SourceTableScreen() override;

    // A heading's double-click: sorted by that column, the first time ascending, then each
    // double-click in the other direction.
    void sortByColumn(int column);
    // Empty until the first sort, then "Asc" or "Desc".
    QString sortDirection() const { return mDirection; }
    qint64 totalRows() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    Session& session();
    bool load(const QString& column, const QString& direction);
    void showCount();
    void exitScreen();

    Navigator& mWindow;
    QTableView* mGrid = nullptr;
    MasterTableModel* mModel = nullptr;
    QLabel* mCount = nullptr;      // Label2
    QLabel* mCurrentRow = nullptr; // Label3
    QString mDirection;
};

} // namespace orv::ui
