#include "worksheet/ColumnSearch.h"

namespace orv {

ColumnSearch::ColumnSearch(QStringList values)
    : ColumnSearch(
          [values = std::move(values)](qint64 after, const Matches& matches) -> qint64 {
              for (qint64 i = after + 1; i < values.size(); ++i)
                  if (matches(values.at(i)))
                      return i;
              return -1;
          },
          !values.isEmpty()) {}

ColumnSearch::ColumnSearch(RowFinder finder, bool hasRows)
    : mFinder(std::move(finder)), mHasRows(hasRows) {}

bool ColumnSearch::textLeft(const QString& text) {
    const bool restart = !mPrevious.isEmpty() && text != mPrevious;
    if (restart) {
        mReported.clear();
        mExhausted = false;
    }
    mPrevious = text;
    return restart;
}

ColumnSearch::Result ColumnSearch::findNext(const QString& text, bool exactMatch,
                                            const QString& label) {
    Result r;
    if (text.isEmpty() || mExhausted || !mHasRows)
        return r;
    const Matches matches = [&](const QString& v) {
        return exactMatch ? v == text : v.contains(text, Qt::CaseSensitive);
    };
    // The first match not reported before; a last row that matches but was reported before
    // ends the search as one that does not match.
    qint64 row = mFinder(-1, matches);
    while (row >= 0 && mReported.contains(row))
        row = mFinder(row, matches);
    r.changed = true;
    if (row < 0) {
        mExhausted = true;
        r.label = label + QStringLiteral(". No more matches found.");
        return r;
    }
    mReported.insert(row);
    r.row = row;
    r.label = QStringLiteral("Found match in row number ") + QString::number(row + 1);
    return r;
}

} // namespace orv
