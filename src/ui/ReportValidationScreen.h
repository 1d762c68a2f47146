#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QTabWidget;
class QTableView;
class QTableWidget;

namespace orv {
class Session;
}

namespace orv::ui {

class Navigator;
class MasterTableModel;

// U006, the report validation table: the Summary tab shows the 25 performance outcome groups
// with their patterns, counts and measures; double-clicking a group shows its records on the
// Detail tab, which a double-click on a heading sorts. Both show only the records that pass
// the record filter of the sign-in.
class ReportValidationScreen : public QWidget {
    Q_OBJECT
public:
    explicit ReportValidationScreen(Navigator& window);
    ~ReportValidationScreen() override;

    // Fills the Summary tab anew; the Detail tab is unavailable until a group is chosen.
    void fillFormValSumm();
    // Shows a group's records on the Detail tab, by obs when no column is given, else by the
    // column in the direction ("Asc" or "Desc"). Returns false when it failed (the failure is
    // shown) or the sort was cancelled; the tab then shows what it showed.
    bool fillFormValDet(int group, const QString& column = QString(),
                        const QString& direction = QString());

    // A summary row's group opened as its double-click does.
    void openGroup(int summaryRow);
    // A Detail heading's double-click: the shown group sorted by that column, each double-click
    // in the other direction.
    void sortDetail(int column);

    // "Asc" or "Desc" after a group is opened, empty before.
    QString sortDirection() const { return mDirection; }
    // The group on the Detail tab, 0 for none.
    int detailGroup() const { return mGroup; }

private:
    Session& session();
    void buildLayout();
    QWidget* buildSummaryTab();
    QWidget* buildDetailTab();
    void buildDetailGrid(QWidget* detailTab);
    void addExports();
    QWidget* buildButtons();
    void exitScreen();

    Navigator& mWindow;
    QTabWidget* mTabs = nullptr;
    QTableWidget* mSummary = nullptr;
    QTableView* mDetail = nullptr;
    MasterTableModel* mDetailModel = nullptr;
    QLabel* mTitle = nullptr;      // Label1
    QLabel* mTotal = nullptr;      // Label3
    QLabel* mCurrentRow = nullptr; // Label4
    QString mDirection;
    int mGroup = 0;
};

} // namespace orv::ui
