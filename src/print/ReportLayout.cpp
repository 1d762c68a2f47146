#include "ReportLayout.h"

#include "BarChart.h"
#include "TableFlow.h"
#include "TextPages.h"

#include "db/Database.h"
#include "db/SafeFile.h"
#include "reports/ReportEngine.h"

#include <QAbstractTextDocumentLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <utility>

namespace orv {

namespace {

// Blocks read before a chunk is laid out: table rows, or blocks of a report that gives each
// block a page of its own.
constexpr int kRowsPerChunk = 200;
constexpr int kPagedBlocksPerChunk = 1;
constexpr qreal kFooterGap = 6;
constexpr qreal kChartScale = 3; // pixels per point of a chart's image
constexpr QSizeF kChartSize{500, 260};

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
    const ReportDefinition& def = mRun->definition();
    if (!def.table.isEmpty()) {
        mTable =
            std::make_unique<TableFlow>(def.table, mRun->tableHeadHtml(), mBody.size(),
                                        [this](const QString& html) { return makeDocument(html); });
    }
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
    if (!blocks.isEmpty() || first)
        html += mRun->tableHeadHtml();
    for (int i = 0; i < blocks.size(); ++i) {
        // A chunk starts a page of its own.
        const bool breakBefore = def.pageBreakPerBlock && i > 0;
        html += breakBefore ? QStringLiteral("<div style=\"page-break-before: always\">")
                            : QStringLiteral("<div>");
        html += blocks[i] + QStringLiteral("</div>");
    }
    if (last)
        html += mRun->tailHtml();
    return html;
}

bool ReportLayout::layoutMore() {
    if (mComplete)
        return false;
    if (mTable)
        return layoutTableMore();
    const ReportDefinition& def = mRun->definition();
    QStringList blocks;
    const bool first = !mStarted;
    mStarted = true;
    bool done = false;
    qint64 bytes = 0;
    while (!(def.pageBreakPerBlock && blocks.size() >= kPagedBlocksPerChunk)) {
        QString html;
        if (!mRun->nextBlock(html)) {
            done = true;
            break;
        }
        // Blocks up to a page break make one document, whose layout costs many times its text.
        bytes += 2 * html.size();
        if (bytes > mRun->limits().outputBytes)
            mRun->failBody(QStringLiteral("the body grows past %1 without a page break; make it "
                                          "a table (table = …) or give every block a page "
                                          "(page-break = block).")
                               .arg(reportMegabytes(mRun->limits().outputBytes)));
        blocks << html;
    }
    // The tail goes with the last blocks rather than on a page of its own.
    done = done || mRun->atEnd();
    Chunk chunk{chunkHtml(blocks, first, done), 0};
    auto doc = makeDocument(chunk.html);
    doc->setPageSize(mBody.size());
    chunk.pages = contentPages(*doc);
    throwChartError();
    const int index = int(mChunks.size());
    // Besides its text, each page costs the layout and the PDF writer some hundred bytes.
    mHeldBytes += 2 * chunk.html.size() + 512 * qint64(std::max(1, chunk.pages));
    checkHeld(mHeldBytes);
    for (int p = 0; p < chunk.pages; ++p)
        mPages.push_back({index, p});
    mChunks.push_back(std::move(chunk));
    mDocs.emplace_front(index, std::move(doc));
    while (mDocs.size() > 3)
        mDocs.pop_back();
    mComplete = done;
    return !mComplete;
}

// Rows until a chunk is read and at least one more page is whole.
bool ReportLayout::layoutTableMore() {
    if (!mStarted) {
        mStarted = true;
        mTable->begin(mRun->headHtml());
        throwChartError();
    }
    const int closed = mTable->closedPages();
    int rows = 0;
    QString html;
    while (rows < kRowsPerChunk || mTable->closedPages() == closed) {
        if (!mRun->nextBlock(html)) {
            mTable->end(mRun->tailHtml());
            throwChartError();
            mComplete = true;
            break;
        }
        rows += std::max(1, mTable->addRows(html));
        checkHeld(mTable->heldBytes());
    }
    return !mComplete;
}

// The pages laid out are kept to be shown again: a body without end would take all memory.
void ReportLayout::checkHeld(qint64 bytes) const {
    if (bytes > mRun->limits().laidOutBytes)
        mRun->failBody(QStringLiteral("its pages take more than %1, the most a report may.")
                           .arg(reportMegabytes(mRun->limits().laidOutBytes)));
}

int ReportLayout::pageCount() const {
    return mTable ? mTable->closedPages() : int(mPages.size());
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
    if (mTable) {
        painter.save();
        painter.translate(mBody.topLeft());
        mTable->paintPage(page, painter);
        painter.restore();
        throwChartError();
        paintFooter(painter, page);
        return;
    }
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
    QStringList lines;
    if (mTable) {
        lines = mTable->pageLines(page);
    } else {
        const Page& p = mPages.at(std::size_t(page));
        lines = pageLines(document(p.chunk), p.index);
    }
    auto footer = makeDocument(mRun->footerHtml(page + 1));
    lines << footer->toPlainText().simplified();
    return lines.join(QLatin1Char('\n'));
}

// Called from within the text layout, which must not see an exception: a failure is kept
// and thrown once the layout is done.
QImage ReportLayout::chartImage(const QString& name) {
    const auto it = mCharts.constFind(name);
    if (it != mCharts.cend())
        return *it;
    QImage image;
    try {
        image = drawBarChart(mRun->chart(name), kChartSize, kChartScale);
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
    try {
        files::AtomicFile file(path);
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
            // A failed write stops the printing too; it is told, a stop by the user is not.
            const QString why = file.failure();
            file.discard();
            if (!why.isEmpty())
                throw ReportError(why);
            return false;
        }
        file.commit();
        return true;
    } catch (const DbError& e) {
        throw ReportError(e.message());
    }
}

} // namespace orv
