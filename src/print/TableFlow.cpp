#include "TableFlow.h"

#include "TextPages.h"

#include <QAbstractTextDocumentLayout>
#include <QHash>
#include <QPainter>
#include <QRegularExpression>
#include <QTextDocument>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace orv {

namespace {

constexpr qreal kGap = 6;         // between the head or the tail and the table
constexpr qreal kLineWidth = 0.5; // of a border

using Attributes = QHash<QString, QString>;

Attributes attributesOf(QStringView tag) {
    static const QRegularExpression attr(
        QStringLiteral(R"re(([A-Za-z-]+)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"'>]+)))re"));
    Attributes out;
    for (auto it = attr.globalMatch(tag); it.hasNext();) {
        const auto m = it.next();
        QString value = m.captured(2);
        if (value.isEmpty())
            value = m.captured(3);
        if (value.isEmpty())
            value = m.captured(4);
        out.insert(m.captured(1).toLower(), value.trimmed());
    }
    return out;
}

// One property of a style attribute ("background-color: #ddd; font-size: 8pt").
QString styleOf(const Attributes& attrs, const QString& property) {
    const QStringList parts = attrs.value(QStringLiteral("style")).split(QLatin1Char(';'));
    for (const QString& part : parts) {
        const int colon = part.indexOf(QLatin1Char(':'));
        if (colon > 0 && part.left(colon).trimmed().compare(property, Qt::CaseInsensitive) == 0)
            return part.mid(colon + 1).trimmed();
    }
    return {};
}

QColor backgroundOf(const Attributes& attrs) {
    QString name = styleOf(attrs, QStringLiteral("background-color"));
    if (name.isEmpty())
        name = attrs.value(QStringLiteral("bgcolor"));
    const QColor color = QColor::fromString(name);
    return name.isEmpty() ? QColor() : color;
}

// "8pt", "12px", "50%", "3": the number.
qreal numberOf(const QString& text, qreal fallback) {
    static const QRegularExpression number(QStringLiteral(R"(^\s*(\d+(?:\.\d+)?))"));
    const auto m = number.match(text);
    return m.hasMatch() ? m.captured(1).toDouble() : fallback;
}

QString entity(QStringView name) {
    static const QHash<QString, QString> named{{QStringLiteral("nbsp"), QString(QChar(0xa0))},
                                               {QStringLiteral("amp"), QStringLiteral("&")},
                                               {QStringLiteral("lt"), QStringLiteral("<")},
                                               {QStringLiteral("gt"), QStringLiteral(">")},
                                               {QStringLiteral("quot"), QStringLiteral("\"")},
                                               {QStringLiteral("apos"), QStringLiteral("'")},
                                               {QStringLiteral("ndash"), QString(QChar(0x2013))},
                                               {QStringLiteral("mdash"), QString(QChar(0x2014))},
                                               {QStringLiteral("hellip"), QString(QChar(0x2026))},
                                               {QStringLiteral("copy"), QString(QChar(0xa9))}};
    if (name.startsWith(u'#')) {
        bool ok = false;
        const uint code = name.size() > 1 && (name[1] == u'x' || name[1] == u'X')
                              ? name.mid(2).toUInt(&ok, 16)
                              : name.mid(1).toUInt(&ok, 10);
        if (ok && code > 0 && code <= 0x10ffff) {
            const char32_t c = code;
            return QString::fromUcs4(&c, 1);
        }
        return {};
    }
    return named.value(name.toString());
}

bool collapses(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// The text of a cell's HTML with its bold, italic and underlined runs.
void appendInline(QStringView html, TableCell& cell) {
    QString& out = cell.text;
    int bold = 0;
    int italic = 0;
    int underline = 0;
    qsizetype runStart = out.size();
    bool blank = false;
    auto endRun = [&](bool more) {
        // A blank before a change of style belongs to the run it ends.
        if (more && blank && !out.isEmpty() && out.back() != QChar::LineSeparator)
            out += u' ';
        blank = false;
        if (out.size() > runStart && (bold > 0 || italic > 0 || underline > 0)) {
            QTextCharFormat format;
            if (bold > 0)
                format.setFontWeight(QFont::Bold);
            format.setFontItalic(italic > 0);
            format.setFontUnderline(underline > 0);
            cell.formats.push_back({int(runStart), int(out.size() - runStart), format});
        }
        runStart = out.size();
    };
    auto append = [&](QStringView text) {
        if (blank && !out.isEmpty() && out.back() != QChar::LineSeparator)
            out += u' ';
        blank = false;
        out += text;
    };
    for (qsizetype i = 0; i < html.size(); ++i) {
        const QChar c = html[i];
        if (c == u'<') {
            const qsizetype close = html.indexOf(u'>', i);
            if (close < 0)
                break;
            QStringView tag = html.mid(i + 1, close - i - 1).trimmed();
            i = close;
            const bool ending = tag.startsWith(u'/');
            if (ending)
                tag = tag.mid(1);
            qsizetype nameEnd = 0;
            while (nameEnd < tag.size() && tag[nameEnd].isLetterOrNumber())
                ++nameEnd;
            const QString name = tag.left(nameEnd).toString().toLower();
            const int step = ending ? -1 : 1;
            if (name == QLatin1String("b") || name == QLatin1String("strong")) {
                endRun(true);
                bold = std::max(0, bold + step);
            } else if (name == QLatin1String("i") || name == QLatin1String("em")) {
                endRun(true);
                italic = std::max(0, italic + step);
            } else if (name == QLatin1String("u")) {
                endRun(true);
                underline = std::max(0, underline + step);
            } else if (name == QLatin1String("br")) {
                out += QChar::LineSeparator;
                blank = false;
            }
        } else if (c == u'&') {
            const qsizetype semi = html.indexOf(u';', i);
            const QString decoded =
                semi > i && semi - i <= 10 ? entity(html.mid(i + 1, semi - i - 1)) : QString();
            if (decoded.isEmpty()) {
                append(html.mid(i, 1));
            } else {
                append(decoded);
                i = semi;
            }
        } else if (collapses(c)) {
            blank = true;
        } else {
            append(html.mid(i, 1));
        }
    }
    endRun(false);
}

} // namespace

std::vector<TableRow> parseTableRows(const QString& html) {
    static const QRegularExpression tag(QStringLiteral(R"(<(/?)(tr|td|th)\b([^>]*)>)"),
                                        QRegularExpression::CaseInsensitiveOption);
    std::vector<TableRow> rows;
    TableCell* open = nullptr;
    qsizetype contentStart = 0;
    auto closeCell = [&](qsizetype at) {
        if (open)
            appendInline(QStringView(html).mid(contentStart, at - contentStart), *open);
        open = nullptr;
    };
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        const bool ending = !m.capturedView(1).isEmpty();
        const bool row = m.capturedView(2).compare(u"tr", Qt::CaseInsensitive) == 0;
        closeCell(m.capturedStart());
        if (ending)
            continue;
        const Attributes attrs = attributesOf(m.capturedView(3));
        if (row) {
            rows.push_back({});
            rows.back().background = backgroundOf(attrs);
            continue;
        }
        if (rows.empty())
            rows.push_back({});
        TableCell cell;
        cell.heading = m.capturedView(2).compare(u"th", Qt::CaseInsensitive) == 0;
        cell.span =
            std::max(1, attrs.value(QStringLiteral("colspan"), QStringLiteral("1")).toInt());
        const QString width = attrs.value(QStringLiteral("width"));
        if (width.endsWith(QLatin1Char('%')))
            cell.widthPercent = numberOf(width, 0);
        const QString align = attrs.value(QStringLiteral("align")).toLower();
        cell.align = align == QLatin1String("right")    ? Qt::AlignRight
                     : align == QLatin1String("center") ? Qt::AlignHCenter
                     : align.isEmpty() && cell.heading  ? Qt::AlignHCenter
                                                        : Qt::AlignLeft;
        cell.background = backgroundOf(attrs);
        rows.back().cells.push_back(std::move(cell));
        open = &rows.back().cells.back();
        contentStart = m.capturedEnd();
    }
    closeCell(html.size());
    return rows;
}

TableStyle parseTableTag(const QString& tag) {
    const Attributes attrs = attributesOf(tag);
    TableStyle style;
    const QString width = attrs.value(QStringLiteral("width"));
    if (width.endsWith(QLatin1Char('%')))
        style.widthPercent = std::clamp(numberOf(width, 100), 1.0, 100.0);
    style.border = numberOf(attrs.value(QStringLiteral("border")), 0);
    style.padding = numberOf(attrs.value(QStringLiteral("cellpadding")), 1);
    style.fontSize =
        std::clamp(numberOf(styleOf(attrs, QStringLiteral("font-size")), 9), 4.0, 48.0);
    return style;
}

struct TableFlow::Cell {
    std::unique_ptr<QTextLayout> layout;
    QRectF rect;
    const TableCell* source;
};

TableFlow::TableFlow(const QString& tableTag, const QString& headingHtml, QSizeF body,
                     MakeDocument makeDocument)
    : mStyle(parseTableTag(tableTag)), mBody(body), mMakeDocument(std::move(makeDocument)) {
    mTableWidth = body.width() * mStyle.widthPercent / 100;
    mFont = QFont(QStringLiteral("DejaVu Sans"));
    mFont.setPointSizeF(mStyle.fontSize);
    mHeading = parseTableRows(headingHtml);
    if (!mHeading.empty())
        setColumns(mHeading.front());
    for (TableRow& row : mHeading) {
        measure(row);
        mHeadingHeight += row.height;
    }
}

TableFlow::~TableFlow() = default;

// Columns as the first row gives them: widths in percent where written, the rest shared.
void TableFlow::setColumns(const TableRow& row) {
    std::vector<qreal> percents;
    for (const TableCell& cell : row.cells) {
        for (int i = 0; i < cell.span; ++i)
            percents.push_back(cell.widthPercent / cell.span);
    }
    if (percents.empty())
        percents.push_back(0);
    qreal given = 0;
    int unset = 0;
    for (qreal p : percents) {
        given += p;
        unset += p <= 0 ? 1 : 0;
    }
    const qreal share = unset > 0 ? std::max(0.0, 100 - given) / unset : 0;
    const qreal total = given + share * unset;
    mColumns.assign(1, 0);
    for (qreal p : percents)
        mColumns.push_back(mColumns.back() + (p > 0 ? p : share) / total * mTableWidth);
}

std::vector<TableFlow::Cell> TableFlow::layoutRow(const TableRow& row) const {
    std::vector<Cell> cells;
    const int columns = int(mColumns.size()) - 1;
    const qreal pad = mStyle.padding;
    int column = 0;
    for (const TableCell& cell : row.cells) {
        if (column >= columns)
            break;
        const int end = std::min(columns, column + cell.span);
        const qreal left = mColumns[std::size_t(column)];
        const qreal width = mColumns[std::size_t(end)] - left;
        column = end;
        QFont font = mFont;
        font.setBold(cell.heading);
        auto layout = std::make_unique<QTextLayout>(cell.text, font, pointDevice());
        QTextOption option(cell.align);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout->setTextOption(option);
        layout->setFormats(cell.formats);
        qreal height = 0;
        layout->beginLayout();
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLineWidth(std::max(1.0, width - 2 * pad));
            line.setPosition(QPointF(0, height));
            height += line.height();
        }
        layout->endLayout();
        if (cell.text.isEmpty())
            height = QFontMetricsF(font, pointDevice()).height();
        cells.push_back({std::move(layout), QRectF(left, 0, width, height + 2 * pad), &cell});
    }
    return cells;
}

void TableFlow::measure(TableRow& row) const {
    if (mColumns.size() < 2)
        return;
    row.height = 0;
    for (const Cell& cell : layoutRow(row))
        row.height = std::max(row.height, cell.rect.height());
}

qreal TableFlow::paintRow(const TableRow& row, qreal y, QPainter& painter,
                          QVector<QLineF>& lines) const {
    const std::vector<Cell> cells = layoutRow(row);
    if (row.background.isValid())
        painter.fillRect(QRectF(0, y, mTableWidth, row.height), row.background);
    // Text takes the painter's pen, which on a screen is the window's text colour: the page is
    // paper, its text black, as in the PDF.
    painter.save();
    painter.setPen(Qt::black);
    for (const Cell& cell : cells) {
        const QRectF rect(cell.rect.left(), y, cell.rect.width(), row.height);
        if (cell.source->background.isValid())
            painter.fillRect(rect, cell.source->background);
        cell.layout->draw(&painter, rect.topLeft() + QPointF(mStyle.padding, mStyle.padding));
        if (mStyle.border > 0) {
            lines << QLineF(rect.topLeft(), rect.topRight())
                  << QLineF(rect.topLeft(), rect.bottomLeft());
        }
    }
    painter.restore();
    if (mStyle.border > 0) {
        lines << QLineF(0, y + row.height, mTableWidth, y + row.height)
              << QLineF(mTableWidth, y, mTableWidth, y + row.height);
    }
    return row.height;
}

void TableFlow::newPage() {
    mPages.push_back({});
    mY = 0;
}

// The table goes on below what the page shows already, or on a new page when not even its
// heading and the next row fit.
void TableFlow::startTable(qreal neededBelow) {
    if (mY > 0 && mY + mHeadingHeight + neededBelow > mBody.height())
        newPage();
    Page& page = mPages.back();
    page.tableTop = mY;
    page.first = page.end = mRows.size();
    mY += mHeadingHeight;
}

void TableFlow::begin(const QString& headHtml) {
    mPages.clear();
    newPage();
    mHead = mMakeDocument(headHtml);
    if (mHead->isEmpty() || mHead->toPlainText().trimmed().isEmpty()) {
        mHead.reset();
        return;
    }
    mHead->setPageSize(mBody);
    const int pages = contentPages(*mHead);
    for (int p = 0; p < pages; ++p) {
        if (p > 0)
            newPage();
        mPages.back().headPage = p;
    }
    mY = contentBottom(*mHead) - (pages - 1) * mBody.height() + kGap;
}

int TableFlow::addRows(const QString& html) {
    std::vector<TableRow> rows = parseTableRows(html);
    for (TableRow& row : rows) {
        if (mColumns.size() < 2)
            setColumns(row);
        measure(row);
        if (mPages.back().tableTop < 0) {
            startTable(row.height);
        } else if (mY + row.height > mBody.height() && mPages.back().end > mPages.back().first) {
            newPage();
            startTable(row.height);
        }
        mHeldBytes += qint64(sizeof(TableRow)) + 64;
        for (const TableCell& cell : row.cells)
            mHeldBytes += qint64(sizeof(TableCell)) + 64 + 2 * cell.text.size() +
                          cell.formats.size() * qint64(sizeof(QTextLayout::FormatRange));
        mRows.push_back(std::move(row));
        mPages.back().end = mRows.size();
        mY += mRows.back().height;
    }
    return int(rows.size());
}

void TableFlow::end(const QString& tailHtml) {
    mEnded = true;
    // A table without rows still shows its heading.
    if (mPages.back().tableTop < 0 && !mHeading.empty())
        startTable(0);
    mTail = mMakeDocument(tailHtml);
    if (mTail->toPlainText().trimmed().isEmpty()) {
        mTail.reset();
        return;
    }
    mTail->setTextWidth(mBody.width());
    const qreal top = mY > 0 ? mY + kGap : 0;
    if (top + mTail->size().height() <= mBody.height()) {
        mPages.back().tailPage = 0;
        mPages.back().tailTop = top;
        return;
    }
    mTail->setPageSize(mBody);
    const int pages = contentPages(*mTail);
    for (int p = 0; p < pages; ++p) {
        newPage();
        mPages.back().tailPage = p;
    }
}

int TableFlow::closedPages() const {
    return int(mPages.size()) - (mEnded ? 0 : 1);
}

void TableFlow::paintPage(int index, QPainter& painter) {
    const Page& page = mPages.at(std::size_t(index));
    const qreal h = mBody.height();
    auto paintDocument = [&](QTextDocument& doc, int docPage, qreal top) {
        const bool paged = doc.pageSize().height() > 0;
        painter.save();
        painter.translate(0, top - (paged ? docPage * h : 0));
        doc.drawContents(&painter, paged ? QRectF(0, docPage * h, mBody.width(), h) : QRectF());
        painter.restore();
    };
    if (page.headPage >= 0 && mHead)
        paintDocument(*mHead, page.headPage, 0);
    if (page.tableTop >= 0) {
        QVector<QLineF> lines;
        qreal y = page.tableTop;
        for (const TableRow& row : mHeading)
            y += paintRow(row, y, painter, lines);
        for (std::size_t r = page.first; r < page.end; ++r)
            y += paintRow(mRows[r], y, painter, lines);
        if (!lines.isEmpty()) {
            painter.save();
            painter.setPen(QPen(QColor(0x40, 0x40, 0x40), kLineWidth));
            painter.drawLines(lines);
            painter.restore();
        }
    }
    if (page.tailPage >= 0 && mTail)
        paintDocument(*mTail, page.tailPage, page.tailTop);
}

QStringList TableFlow::pageLines(int index) {
    const Page& page = mPages.at(std::size_t(index));
    QStringList lines;
    if (page.headPage >= 0 && mHead)
        lines << orv::pageLines(*mHead, page.headPage);
    auto addRow = [&](const TableRow& row) {
        for (const TableCell& cell : row.cells) {
            const QString text = cell.text.simplified();
            if (!text.isEmpty())
                lines << text;
        }
    };
    if (page.tableTop >= 0) {
        for (const TableRow& row : mHeading)
            addRow(row);
        for (std::size_t r = page.first; r < page.end; ++r)
            addRow(mRows[r]);
    }
    if (page.tailPage >= 0 && mTail) {
        lines << orv::pageLines(*mTail, page.tailPage);
    }
    return lines;
}

} // namespace orv
