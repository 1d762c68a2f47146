#pragma once

#include <QStringList>

class QPaintDevice;
class QTextDocument;

namespace orv {

// 72 dots per inch: on a device of this resolution, text is laid out in points whatever the
// screen.
constexpr int kPointDotsPerMeter = 2835;
QPaintDevice* pointDevice();
// Pages of a paged document up to the last that shows something: a forced page break can
// leave an empty one.
int contentPages(QTextDocument& doc);
// Where the last thing a document shows ends, from the top of its first page.
qreal contentBottom(QTextDocument& doc);
// The text shown on one page of a paged document (the whole of an unpaged one), a line per
// paragraph or cell.
QStringList pageLines(QTextDocument& doc, int page);

} // namespace orv
