#pragma once

#include "worksheet/SampleList.h"

#include <QWidget>

class QLabel;
class QLayout;
class QTableView;
class QTableWidget;

namespace orv {
class Session;
}

namespace orv::ui {

class Navigator;
class SampleListModel;

// U010: the sample list with each record's marks, the counts of the sample and the failed
// marks per element. A record's worksheet (U015) opens from the list.
class SampleSummaryScreen : public QWidget {
    Q_OBJECT
public:
    explicit SampleSummaryScreen(Navigator& window);

    // What loading does: the list by OBS under its first title, the sort direction forgotten.
    void reload();
    void updateChk();
    void fillSampleTotals();
    // Rebuilds the list from the database in this order (unset: by OBS), then the totals.
    void fillFormValDetail(const SampleOrder& order);

    // A header click: sorts by the column, the direction alternating with every click.
    void sortByColumn(int column);
    // Opens the worksheet of a list row.
    void openWorksheet(int row);
    // Searches a column's cells with the find screen (modal).
    void findInColumn(int column);
    // Shows the screen again after a worksheet closed, that worksheet's row selected; refilled
    // in the kept order after Exit or Save.
    void showAfterWorksheet(qint64 rowId, bool refill);

    // Selects a row and scrolls to it; -1 deselects every row.
    void selectRow(int row);
    int selectedRow() const;

    SampleListModel* model() const { return mModel; }
    QTableView* list() const { return mList; }
    SampleOrder order() const { return mOrder; }
    QString lastDirection() const { return mLastDirection; }

protected:
    // However the screen closes, the next worksheet left shows the list by OBS until sorted.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Session& session();
    void buildLayout();
    void buildTitles();
    void buildList();
    void buildFailedSums();
    QLayout* buildCounts();
    QLayout* buildButtonRow(QLayout* counts);
    void setTitle(const QString& text, bool sorted);
    void setColumnWidths(bool all);
    void exitClicked();
    void endOfEvent();

    Navigator& mWindow;
    SampleListModel* mModel = nullptr;
    QTableView* mList = nullptr;
    QLabel* mTitle = nullptr;
    QLabel* mListTitle = nullptr;
    QTableWidget* mSums = nullptr;
    QLabel* mTotalSampled = nullptr;
    QLabel* mInspected = nullptr;
    QLabel* mWrongSsn = nullptr;
    QLabel* mInvalidRec = nullptr;
    QLabel* mUnableToLocate = nullptr;
    QLabel* mMissingRec = nullptr;
    SampleOrder mOrder;
    QString mLastDirection;
};

} // namespace orv::ui
