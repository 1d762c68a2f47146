#pragma once

#include "worksheet/ColumnSearch.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace orv::ui {

class Navigator;

// U019: Find Next through the cells of one column of the sample list, or of a browse grid,
// selecting each row found.
class FindScreen : public QWidget {
    Q_OBJECT
public:
    // Selects a row of the list; -1 deselects every row.
    using RowSelector = std::function<void(qint64 row)>;

    FindScreen(Navigator& window, const QString& columnName, QStringList values,
               RowSelector select);

    // A column read as the search goes (a browse grid's).
    FindScreen(Navigator& window, const QString& columnName, ColumnSearch search,
               RowSelector select);

public slots:
    void findNext();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void textLeft();

    Navigator& mWindow;
    ColumnSearch mSearch;
    RowSelector mSelect;
    QLabel* mCaption = nullptr;
    QLineEdit* mText = nullptr;
    QCheckBox* mExact = nullptr;
    QLabel* mRowNumber = nullptr;
};

} // namespace orv::ui
