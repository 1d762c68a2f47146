// Table rows as the report templates write them, read the way a printed table shows them.
#include "TableFlow.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTextDocument>

using namespace orv;

namespace {

struct ExpectedCell {
    QString text;
    int span;
    Qt::Alignment align;
    bool heading;
    qreal width;
    QString bold; // the bold runs' text, joined by '|'
};

QString boldRuns(const TableCell& cell) {
    QStringList runs;
    for (const auto& f : cell.formats) {
        if (f.format.fontWeight() == QFont::Bold)
            runs << cell.text.mid(f.start, f.length);
    }
    return runs.join(QLatin1Char('|'));
}

TEST(TableFlowTest, RowsAndCellsAreReadAsABrowserShowsThem) {
    const QChar nbsp(0xa0);
    const QChar br = QChar::LineSeparator;
    const struct {
        const char* html;
        QString background; // of the first row
        std::vector<std::vector<ExpectedCell>> rows;
    } cases[] = {
        {R"(<tr style="background-color: #f0f0f0"><td colspan="3"><b>123</b> &nbsp; Date
            <b>20060806</b> &nbsp; 2 records</td></tr>)",
         "#f0f0f0",
         {{{QStringLiteral("123 %1 Date 20060806 %1 2 records").arg(nbsp), 3, Qt::AlignLeft, false,
            0, "123|20060806"}}}},
        // What the template engine escapes comes back as written; unknown entities stay.
        {"<tr><td>O&#39;Brien &amp; Sons &lt;x&gt; &quot;q&quot; &#x41;</td>"
         "<td>A & B &bogus; C</td></tr>",
         "",
         {{{"O'Brien & Sons <x> \"q\" A", 1, Qt::AlignLeft, false, 0, ""},
           {"A & B &bogus; C", 1, Qt::AlignLeft, false, 0, ""}}}},
        {"<tr><td>\n  two\n words <br> next </td><td><i>x</i><u> y</u></td></tr>",
         "",
         {{{QStringLiteral("two words%1next").arg(br), 1, Qt::AlignLeft, false, 0, ""},
           {"x y", 1, Qt::AlignLeft, false, 0, ""}}}},
        {R"(<tr bgcolor="#dddddd"><th width="12%">Obs</th><th align="left" width="30%">Name</th>
            <TD ALIGN=right>5</TD></tr>)",
         "#dddddd",
         {{{"Obs", 1, Qt::AlignHCenter, true, 12, ""},
           {"Name", 1, Qt::AlignLeft, true, 30, ""},
           {"5", 1, Qt::AlignRight, false, 0, ""}}}},
        // Cells and rows left open end where the next begins; text between rows is no cell.
        {"<tr><td>a<td align=center>b<tr>between<td>c</td></tr>",
         "",
         {{{"a", 1, Qt::AlignLeft, false, 0, ""}, {"b", 1, Qt::AlignHCenter, false, 0, ""}},
          {{"c", 1, Qt::AlignLeft, false, 0, ""}}}},
        {"", "", {}},
    };
    for (const auto& c : cases) {
        const std::vector<TableRow> rows = parseTableRows(QString::fromUtf8(c.html));
        ASSERT_EQ(rows.size(), c.rows.size()) << c.html;
        if (!rows.empty()) {
            EXPECT_EQ(rows[0].background.isValid() ? rows[0].background.name() : QString(),
                      c.background)
                << c.html;
        }
        for (std::size_t r = 0; r < rows.size(); ++r) {
            ASSERT_EQ(rows[r].cells.size(), c.rows[r].size()) << c.html;
            for (std::size_t i = 0; i < rows[r].cells.size(); ++i) {
                const TableCell& got = rows[r].cells[i];
                const ExpectedCell& want = c.rows[r][i];
                EXPECT_EQ(got.text, want.text) << c.html;
                EXPECT_EQ(got.span, want.span) << c.html;
                EXPECT_EQ(got.align, want.align) << c.html;
                EXPECT_EQ(got.heading, want.heading) << c.html;
                EXPECT_EQ(got.widthPercent, want.width) << c.html;
                EXPECT_EQ(boldRuns(got), want.bold) << c.html;
            }
        }
    }

    const TableStyle given = parseTableTag(
        R"(<table width="80%" border="1" cellspacing="0" cellpadding="2" style="font-size: 8pt">)");
    EXPECT_EQ(given.widthPercent, 80);
    EXPECT_EQ(given.border, 1);
    EXPECT_EQ(given.padding, 2);
    EXPECT_EQ(given.fontSize, 8);
    const TableStyle plain = parseTableTag("<table>");
    EXPECT_EQ(plain.widthPercent, 100);
    EXPECT_EQ(plain.border, 0);
    EXPECT_EQ(plain.padding, 1);
    EXPECT_EQ(plain.fontSize, 9);
}

std::unique_ptr<QTextDocument> makeDocument(const QString& html) {
    auto doc = std::make_unique<QTextDocument>();
    doc->setHtml(html);
    return doc;
}

// The body ends where the page footer begins: every page, continuation pages under their
// repeated heading included, paints nothing below it, and holds each row once, in order.
TEST(TableFlowTest, RowsStayAboveTheFooterOnEveryPage) {
    const QSizeF body(400, 300);
    TableFlow flow(R"(<table border="1">)",
                   R"(<tr bgcolor="#bbbbbb"><th>Obs</th><th>Name</th></tr>)"
                   R"(<tr bgcolor="#bbbbbb"><th>#</th><th>of the record</th></tr>)",
                   body, makeDocument);
    flow.begin(QStringLiteral("<p>Head</p>"));
    QString rows;
    const int count = 120;
    for (int i = 0; i < count; ++i)
        rows += QStringLiteral("<tr bgcolor=\"#dddddd\"><td>%1</td><td>row</td></tr>").arg(i);
    ASSERT_EQ(flow.addRows(rows), count);
    flow.end(QString());
    ASSERT_GE(flow.closedPages(), 4);
    int next = 0;
    for (int p = 0; p < flow.closedPages(); ++p) {
        SCOPED_TRACE(p);
        QImage page(int(body.width()), int(body.height()) * 2, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter painter(&page);
        flow.paintPage(p, painter);
        painter.end();
        int lowest = -1;
        for (int y = page.height() - 1; y >= 0 && lowest < 0; --y)
            for (int x = 0; x < page.width() && lowest < 0; ++x)
                if (page.pixel(x, y) != qRgb(255, 255, 255))
                    lowest = y;
        EXPECT_LE(lowest, int(body.height()) + 1);
        if (p + 1 < flow.closedPages()) {
            EXPECT_GT(lowest, int(body.height()) * 2 / 3); // filled, not cut short
        }
        const QStringList lines = flow.pageLines(p);
        EXPECT_TRUE(lines.contains("of the record"));
        for (const QString& line : lines) {
            if (line.front().isDigit()) {
                EXPECT_EQ(line.toInt(), next++);
            }
        }
    }
    EXPECT_EQ(next, count);
}

// Paper is white and its text black, whatever colour the window gives the painter's pen.
TEST(TableFlowTest, CellTextIsBlackOnAnyScreen) {
    TableFlow flow(R"(<table border="0">)", "", QSizeF(400, 600), makeDocument);
    flow.begin(QString());
    flow.addRows("<tr><td>XXXXXXXXXXXXXXXXXXXX</td></tr>");
    flow.end(QString());
    QImage page(400, 600, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.setPen(Qt::white); // a dark desktop theme's text colour
    flow.paintPage(0, painter);
    painter.end();
    int dark = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x)
            dark += qGray(page.pixel(x, y)) < 100;
    EXPECT_GT(dark, 20);
}

} // namespace
