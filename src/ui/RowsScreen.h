#pragma once

#include <QStringList>
#include <QWidget>

#include <vector>

class QTableWidget;

namespace orv::ui {

class MainWindow;

// Rows just computed, shown read-only until the report that prints them is there.
class RowsScreen : public QWidget {
    Q_OBJECT
public:
    struct Layout {
        const char* id;        // objectName
        const char* title;     // window title
        const char* note;      // what the rows are
        const char* tableName; // objectName of the table
        QStringList headers;
        QList<int> numberColumns; // right-aligned
        int widthTwips, heightTwips;
    };
    RowsScreen(MainWindow& window, const Layout& layout);

    void showRows(const std::vector<QStringList>& rows);

private:
    MainWindow& mWindow;
    QTableWidget* mTable = nullptr;
    QList<int> mNumberColumns;
};

} // namespace orv::ui
