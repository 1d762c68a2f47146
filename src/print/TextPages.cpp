#include "TextPages.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

namespace orv {

QPaintDevice* pointDevice() {
    static QImage device = [] {
        QImage image(1, 1, QImage::Format_RGB32);
        image.setDotsPerMeterX(kPointDotsPerMeter);
        image.setDotsPerMeterY(kPointDotsPerMeter);
        return image;
    }();
    return &device;
}

namespace {
QTextBlock lastShown(QTextDocument& doc) {
    for (QTextBlock b = doc.lastBlock(); b.isValid(); b = b.previous()) {
        if (!b.text().trimmed().isEmpty())
            return b;
    }
    return {};
}
} // namespace

int contentPages(QTextDocument& doc) {
    const int all = std::max(1, doc.pageCount());
    const QTextBlock b = lastShown(doc);
    if (!b.isValid())
        return 1;
    const qreal top = doc.documentLayout()->blockBoundingRect(b).top();
    return std::clamp(int(top / doc.pageSize().height()) + 1, 1, all);
}

qreal contentBottom(QTextDocument& doc) {
    const QTextBlock b = lastShown(doc);
    return b.isValid() ? doc.documentLayout()->blockBoundingRect(b).bottom() : 0;
}

QStringList pageLines(QTextDocument& doc, int page) {
    const qreal h = doc.pageSize().height();
    QStringList lines;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QRectF r = doc.documentLayout()->blockBoundingRect(b);
        const QString text = b.text().simplified();
        const bool onPage = h <= 0 || (r.top() >= page * h && r.top() < (page + 1) * h);
        if (onPage && !text.isEmpty())
            lines << text;
    }
    return lines;
}

} // namespace orv
