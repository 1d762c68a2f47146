#include "ReportLayout.h"

#include "reports/ReportEngine.h"

#include <QAbstractTextDocumentLayout>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QGraphicsScene>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <utility>

namespace orv {

namespace {

// Blocks read before a chunk is laid out. A chunk of table rows spans several pages, so that
// only its last page is laid out twice.
constexpr int kRowsPerChunk = 200;
constexpr int kPagedBlocksPerChunk = 1;
constexpr qreal kFooterGap = 6;
constexpr qreal kChartScale = 3; // pixels per point of a chart's image
constexpr QSizeF kChartSize{500, 260};

// Lays documents out in points whatever the screen: a device of 72 dots per inch.
QPaintDevice* pointDevice() {
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(2835);
        image.setDotsPerMeterY(2835);
        return image;
    }();
    return &device;
}

class ChartDocument : public QTextDocument {
public:
    using Loader = std::function<QImage(const QString&)>;
    explicit ChartDocument(Loader loader) : mLoader(std::move(loader)) {}

protected:
    QVariant loadResource(int type, const QUrl& name) override {
        if (type == QTextDocument::ImageResource && name.scheme() == QLatin1String("chart"))
            return mLoader(name.path());
        return QTextDocument::loadResource(type, name);
    }

private:
    Loader mLoader;
};

QImage drawChart(const ReportChartData& data) {
    auto* set = new QBarSet(data.axis.isEmpty() ? data.title : data.axis);
    double top = 0;
    for (double v : data.values) {
        *set << v;
        top = std::max(top, v);
    }
    set->setColor(QColor(70, 90, 160));
    auto* series = new QBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsFormat(QStringLiteral("@value"));
    auto* chart = new QChart;
    chart->addSeries(series);
    chart->setTitle(data.title);
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);
    auto* labels = new QBarCategoryAxis;
    labels->append(data.labels);
    QFont small = labels->labelsFont();
    small.setPointSizeF(7);
    labels->setLabelsFont(small);
    chart->addAxis(labels, Qt::AlignBottom);
    series->attachAxis(labels);
    auto* values = new QValueAxis;
    values->setRange(0, top > 0 ? std::ceil(top * 1.1) : 1);
    values->setTitleText(data.axis);
    values->setLabelsFont(small);
    chart->addAxis(values, Qt::AlignLeft);
    series->attachAxis(values);

    QGraphicsScene scene; // owns the chart from here
    scene.addItem(chart);
    chart->setGeometry(QRectF(QPointF(0, 0), kChartSize));
    QImage image((kChartSize * kChartScale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, QRectF(QPointF(0, 0), kChartSize * kChartScale),
                 QRectF(QPointF(0, 0), kChartSize));
    return image;
}

} // namespace

ReportLayout::ReportLayout(std::unique_ptr<ReportRun> run) : mRun(std::move(run)) {
    const auto orientation =
        mRun->definition().orientation == ReportDefinition::Orientation::Landscape
            ? QPageLayout::Landscape
            : QPageLayout::Portrait;
    mPageLayout = QPageLayout(QPageSize(QPageSize::Letter), orientation, QMarginsF(36, 36, 36, 36),
                              QPageLayout::Point);
    const QRectF paint(QPointF(0, 0), mPageLayout.paintRect(QPageLayout::Point).size());
    auto footer = makeDocument(mRun->footerHtml(1));
    footer->setTextWidth(paint.width());
    const qreal footerHeight = footer->isEmpty() ? 0 : footer->size().height() + kFooterGap;
    mBody = QRectF(paint.left(), paint.top(), paint.width(), paint.height() - footerHeight);
    mFooter =
        QRectF(paint.left(), mBody.bottom() + kFooterGap, paint.width(), footerHeight - kFooterGap);
}

ReportLayout::~ReportLayout() = default;

QSizeF ReportLayout::pageSize() const {
    return mPageLayout.fullRect(QPageLayout::Point).size();
}

std::unique_ptr<QTextDocument> ReportLayout::makeDocument(const QString& html) {
    auto doc =
        std::make_unique<ChartDocument>([this](const QString& name) { return chartImage(name); });
    doc->documentLayout()->setPaintDevice(pointDevice());
    doc->setDocumentMargin(0);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(9);
    doc->setDefaultFont(font);
    doc->setHtml(html);
    return doc;
}

QString ReportLayout::chunkHtml(const QStringList& blocks, bool first, bool last) const {
    const ReportDefinition& def = mRun->definition();
    QString html;
    if (first)
        html += mRun->headHtml();
    if (!def.table.isEmpty()) {
        html += def.table;
        html += QStringLiteral("<thead>") + mRun->tableHeadHtml() + QStringLiteral("</thead>");
        for (const QString& b : blocks)
            html += b;
        html += QStringLiteral("</table>");
    } else {
        if (!blocks.isEmpty() || first)
            html += mRun->tableHeadHtml();
        for (int i = 0; i < blocks.size(); ++i) {
            // A chunk starts a page of its own.
            const bool breakBefore = def.pageBreakPerBlock && i > 0;
            html += breakBefore ? QStringLiteral("<div style=\"page-break-before: always\">")
                                : QStringLiteral("<div>");
            html += blocks[i] + QStringLiteral("</div>");
        }
    }
    if (last)
        html += mRun->tailHtml();
    return html;
}

int ReportLayout::tableRows(const QString& html) const {
    static const QRegularExpression tr(QStringLiteral("<tr[\\s>]"),
                                       QRegularExpression::CaseInsensitiveOption);
    return int(html.count(tr));
}

// Where to cut a chunk of table rows so that no page is left half empty between chunks: the
// block holding the first row of the chunk's last page goes to the next chunk, with every
// block after it, and only the pages before that block's first row are kept. Returns the
// block and the pages kept; the block is blocks.size() when the whole chunk stays.
std::pair<int, int> ReportLayout::carryFrom(QTextDocument& doc, const QStringList& blocks,
                                            int pages) const {
    const int whole = int(blocks.size());
    const int headRows = tableRows(mRun->tableHeadHtml());
    std::vector<int> rowsBefore{0}; // body rows before each block
    for (const QString& b : blocks)
        rowsBefore.push_back(rowsBefore.back() + tableRows(b));
    QTextTable* table = nullptr;
    for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
        auto* t = qobject_cast<QTextTable*>(frame);
        if (t && t->rows() == headRows + rowsBefore.back())
            table = t;
    }
    if (!table)
        return {whole, pages};
    const qreal pageHeight = doc.pageSize().height();
    auto pageOfRow = [&](int row) {
        const QTextBlock block = table->cellAt(headRows + row, 0).firstCursorPosition().block();
        return int(doc.documentLayout()->blockBoundingRect(block).top() / pageHeight);
    };
    // The first block with a row on page `page` or after it.
    auto firstBlockFrom = [&](int page) {
        for (int i = 0; i < whole; ++i) {
            const int lastRow = rowsBefore[std::size_t(i) + 1] - 1;
            if (lastRow >= rowsBefore[std::size_t(i)] && pageOfRow(lastRow) >= page)
                return i;
        }
        return whole;
    };
    // Back page by page while the first block to carry starts on an earlier page.
    int page = pages - 1;
    int from = firstBlockFrom(page);
    while (from < whole && page > 0) {
        const int starts = pageOfRow(rowsBefore[std::size_t(from)]);
        if (starts == page)
            return {from, page};
        page = starts;
        from = firstBlockFrom(page);
    }
    return {whole, pages};
}

// Pages up to the last that shows something: a forced page break can leave an empty one.
int ReportLayout::contentPages(QTextDocument& doc) const {
    const int all = std::max(1, doc.pageCount());
    const qreal h = doc.pageSize().height();
    for (QTextBlock b = doc.lastBlock(); b.isValid(); b = b.previous()) {
        if (b.text().trimmed().isEmpty())
            continue;
        const qreal top = doc.documentLayout()->blockBoundingRect(b).top();
        return std::clamp(int(top / h) + 1, 1, all);
    }
    return 1;
}

bool ReportLayout::layoutMore() {
    if (mComplete)
        return false;
    const ReportDefinition& def = mRun->definition();
    const bool tableMode = !def.table.isEmpty();
    QStringList blocks = std::move(mCarry);
    mCarry.clear();
    int rows = 0;
    for (const QString& b : blocks)
        rows += tableRows(b);
    const bool first = !mStarted;
    mStarted = true;
    while (!mBodyDone) {
        if (tableMode && rows >= kRowsPerChunk)
            break;
        if (!tableMode && def.pageBreakPerBlock && blocks.size() >= kPagedBlocksPerChunk)
            break;
        QString html;
        if (!mRun->nextBlock(html)) {
            mBodyDone = true;
            break;
        }
        if (tableMode)
            rows += tableRows(html);
        blocks << html;
    }
    // The tail goes with the last blocks rather than on a page of its own.
    if (!mBodyDone && mRun->atEnd())
        mBodyDone = true;
    const bool last = mBodyDone && mCarry.isEmpty();
    Chunk chunk{chunkHtml(blocks, first, last), 0};
    auto doc = makeDocument(chunk.html);
    doc->setPageSize(mBody.size());
    int pages = contentPages(*doc);
    throwChartError();
    if (!last && tableMode && pages > 1) {
        const auto [from, kept] = carryFrom(*doc, blocks, pages);
        mCarry = blocks.mid(from);
        pages = kept;
    }
    chunk.pages = pages;
    const int index = int(mChunks.size());
    mChunks.push_back(std::move(chunk));
    for (int p = 0; p < pages; ++p)
        mPages.push_back({index, p});
    mDocs.emplace_front(index, std::move(doc));
    while (mDocs.size() > 3)
        mDocs.pop_back();
    mComplete = mBodyDone && mCarry.isEmpty();
    return !mComplete;
}

void ReportLayout::layoutAll() {
    while (layoutMore()) {
    }
}

QTextDocument& ReportLayout::document(int chunk) {
    for (auto it = mDocs.begin(); it != mDocs.end(); ++it) {
        if (it->first == chunk) {
            mDocs.splice(mDocs.begin(), mDocs, it);
            return *mDocs.front().second;
        }
    }
    auto doc = makeDocument(mChunks[std::size_t(chunk)].html);
    doc->setPageSize(mBody.size());
    mDocs.emplace_front(chunk, std::move(doc));
    while (mDocs.size() > 3)
        mDocs.pop_back();
    return *mDocs.front().second;
}

void ReportLayout::paintFooter(QPainter& painter, int page) {
    auto footer = makeDocument(mRun->footerHtml(page + 1));
    footer->setTextWidth(mFooter.width());
    painter.save();
    painter.translate(mFooter.topLeft());
    footer->drawContents(&painter);
    painter.restore();
}

void ReportLayout::paintPage(int page, QPainter& painter) {
    const Page& p = mPages.at(std::size_t(page));
    QTextDocument& doc = document(p.chunk);
    const qreal h = mBody.height();
    painter.save();
    painter.translate(mBody.left(), mBody.top() - p.index * h);
    doc.drawContents(&painter, QRectF(0, p.index * h, mBody.width(), h));
    painter.restore();
    throwChartError();
    paintFooter(painter, page);
}

QString ReportLayout::pageText(int page) {
    const Page& p = mPages.at(std::size_t(page));
    QTextDocument& doc = document(p.chunk);
    const qreal h = mBody.height();
    QStringList lines;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QRectF r = doc.documentLayout()->blockBoundingRect(b);
        const QString text = b.text().simplified();
        if (r.top() >= p.index * h && r.top() < (p.index + 1) * h && !text.isEmpty())
            lines << text;
    }
    auto footer = makeDocument(mRun->footerHtml(page + 1));
    lines << footer->toPlainText().simplified();
    return lines.join(QLatin1Char('\n'));
}

QString ReportLayout::html() {
    layoutAll();
    QString out;
    for (const Chunk& c : mChunks)
        out += c.html;
    return out;
}

// Called from within the text layout, which must not see an exception: a failure is kept
// and thrown once the layout is done.
QImage ReportLayout::chartImage(const QString& name) {
    const auto it = mCharts.constFind(name);
    if (it != mCharts.cend())
        return *it;
    QImage image;
    try {
        image = drawChart(mRun->chart(name));
    } catch (const ReportError& e) {
        if (mChartError.isEmpty())
            mChartError = e.message();
        image = QImage(1, 1, QImage::Format_RGB32);
        image.fill(Qt::white);
    }
    mCharts.insert(name, image);
    return image;
}

void ReportLayout::throwChartError() {
    if (!mChartError.isEmpty())
        throw ReportError(std::exchange(mChartError, QString()));
}

bool ReportLayout::print(QPagedPaintDevice& device, const Progress& progress) {
    QPainter painter(&device);
    const qreal scale = device.logicalDpiX() / 72.0;
    for (int page = 0;; ++page) {
        while (page >= pageCount() && layoutMore()) {
        }
        if (page >= pageCount())
            break;
        if (page > 0)
            device.newPage();
        painter.save();
        painter.scale(scale, scale);
        paintPage(page, painter);
        painter.restore();
        if (progress && !progress(page + 1))
            return false;
    }
    return painter.end();
}

bool ReportLayout::writePdf(const QString& path, const Progress& progress) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw ReportError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    bool done = false;
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(mPageLayout);
        writer.setResolution(300);
        writer.setTitle(mRun->title());
        writer.setCreator(QStringLiteral("ORV Data Validation"));
        done = print(writer, progress);
    }
    if (!done) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        throw ReportError(QStringLiteral("%1: %2").arg(path, file.errorString()));
    return true;
}

} // namespace orv
