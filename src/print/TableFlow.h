#pragma once

#include <QColor>
#include <QFont>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTextLayout>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QTextDocument;

namespace orv {

// A cell as a body template writes it, reduced to what a printed table shows.
struct TableCell {
    QString text; // blanks collapsed as HTML does them; <br> is a line separator
    QVector<QTextLayout::FormatRange> formats; // bold, italic and underlined runs
    int span = 1;
    qreal widthPercent = 0; // 0: not given
    Qt::Alignment align = Qt::AlignLeft;
    QColor background; // invalid: none
    bool heading = false;
};

struct TableRow {
    std::vector<TableCell> cells;
    QColor background;
    qreal height = 0;
};

struct TableStyle {
    qreal widthPercent = 100;
    qreal border = 0;
    qreal padding = 1;
    qreal fontSize = 9;
};

// The rows of an HTML fragment of whole rows; anything outside their cells is left out.
std::vector<TableRow> parseTableRows(const QString& html);
// The attributes of a table's opening tag.
TableStyle parseTableTag(const QString& tag);

// A table body laid straight onto pages: its rows are measured and painted as lines of text,
// which costs a small part of what a rich-text table of the same rows costs, so that reports
// of tens of thousands of rows print in seconds. What comes before the table (the head) and
// after it (the tail) are rich-text documents. Sizes are in points; the heading rows are drawn
// again at the top of every page the table runs onto.
class TableFlow {
public:
    using MakeDocument = std::function<std::unique_ptr<QTextDocument>(const QString&)>;
    TableFlow(const QString& tableTag, const QString& headingHtml, QSizeF body,
              MakeDocument makeDocument);
    ~TableFlow();
    TableFlow(const TableFlow&) = delete;
    TableFlow& operator=(const TableFlow&) = delete;

    void begin(const QString& headHtml);
    // Adds the rows of a body block; returns how many.
    int addRows(const QString& html);
    void end(const QString& tailHtml);

    // Pages that no later row can change.
    int closedPages() const;
    // About how much the rows kept for painting take.
    qint64 heldBytes() const { return mHeldBytes; }
    // Paints a page with the painter's origin at the body's top left.
    void paintPage(int page, QPainter& painter);
    QStringList pageLines(int page);

private:
    struct Page {
        int headPage = -1;   // the head's page shown here, if any
        int tailPage = -1;   // the tail's page shown here, if any
        qreal tableTop = -1; // where the heading rows go; -1: no table here
        qreal tailTop = 0;
        std::size_t first = 0; // rows shown here
        std::size_t end = 0;
    };
    struct Cell;

    void setColumns(const TableRow& row);
    void measure(TableRow& row) const;
    std::vector<Cell> layoutRow(const TableRow& row) const;
    qreal paintRow(const TableRow& row, qreal y, QPainter& painter, QVector<QLineF>& lines) const;
    void startTable(qreal neededBelow);
    void newPage();

    TableStyle mStyle;
    QSizeF mBody;
    qreal mTableWidth = 0;
    MakeDocument mMakeDocument;
    QFont mFont;
    std::vector<qreal> mColumns; // left edges, then the right edge of the last
    std::vector<TableRow> mHeading;
    qreal mHeadingHeight = 0;
    std::vector<TableRow> mRows;
    std::vector<Page> mPages;
    qreal mY = 0;
    qint64 mHeldBytes = 0;
    bool mEnded = false;
    std::unique_ptr<QTextDocument> mHead;
    std::unique_ptr<QTextDocument> mTail;
};

} // namespace orv
