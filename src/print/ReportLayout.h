#pragma once

#include <QHash>
#include <QImage>
#include <QPageLayout>
#include <QString>
#include <QStringList>

#include <functional>
#include <list>
#include <memory>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QTextDocument;

namespace orv {

class ReportRun;
class TableFlow;

// A report laid out on pages. The body is laid out a chunk of blocks at a time, so that the
// first pages can be shown while the rest is still being read, and a report of any size is
// never held as one document. Sizes are in points.
class ReportLayout {
public:
    explicit ReportLayout(std::unique_ptr<ReportRun> run);
    ~ReportLayout();
    ReportLayout(const ReportLayout&) = delete;
    ReportLayout& operator=(const ReportLayout&) = delete;

    const ReportRun& run() const { return *mRun; }
    QPageLayout pageLayout() const { return mPageLayout; }
    QSizeF pageSize() const; // the whole sheet

    // Lays out the next chunk; returns false once the whole report is laid out. Throws
    // ReportError.
    bool layoutMore();
    void layoutAll();
    bool complete() const { return mComplete; }
    int pageCount() const;

    // Paints one page (0-based) with the painter's origin at the sheet's top left, in points.
    void paintPage(int page, QPainter& painter);
    // The text of one page as laid out, for checks and searches.
    QString pageText(int page);

    // Lays out what is left and writes every page to a PDF file (atomically) or a printer.
    // progress(page) returns false to stop; returns false when stopped. Throws ReportError.
    using Progress = std::function<bool(int page)>;
    [[nodiscard]] bool writePdf(const QString& path, const Progress& progress = {});
    [[nodiscard]] bool print(QPagedPaintDevice& device, const Progress& progress = {});

private:
    struct Chunk {
        QString html;
        int pages = 0; // pages of this chunk that belong to the report
    };
    struct Page {
        int chunk;
        int index; // within the chunk's document
    };

    QString chunkHtml(const QStringList& blocks, bool first, bool last) const;
    std::unique_ptr<QTextDocument> makeDocument(const QString& html);
    QTextDocument& document(int chunk);
    bool layoutTableMore();
    void throwChartError();
    QImage chartImage(const QString& name);
    void paintFooter(QPainter& painter, int page);
    void checkHeld(qint64 bytes) const;

    std::unique_ptr<ReportRun> mRun;
    QPageLayout mPageLayout;
    QRectF mBody;   // where the body goes on a sheet
    QRectF mFooter; // where the footer goes
    bool mStarted = false;
    bool mComplete = false;
    std::vector<Chunk> mChunks;
    std::vector<Page> mPages;
    std::list<std::pair<int, std::unique_ptr<QTextDocument>>> mDocs; // most recent first
    std::unique_ptr<TableFlow> mTable;                               // the body, when it is a table
    qint64 mHeldBytes = 0;                                           // chunks' text kept
    QHash<QString, QImage> mCharts;
    QString mChartError;
};

} // namespace orv
