#include "validation/PagerSearch.h"

#include "validation/MasterPager.h"

namespace orv {

bool PagerSearch::textLeft(const QString& text) {
    const bool restart = !mPrevious.isEmpty() && text != mPrevious;
    if (restart) {
        mLast = -1;
        mExhausted = false;
    }
    mPrevious = text;
    return restart;
}

PagerSearch::Result PagerSearch::findNext(const QString& text, bool exactMatch,
                                          const QString& label) {
    Result r;
    if (text.isEmpty() || mExhausted)
        return r;
    qint64 index = -1;
    mPager.forEach(-1, [&](const QStringList& cells) {
        ++index;
        if (index <= mLast)
            return true;
        const QString& v = cells.at(mColumn);
        const bool match = exactMatch ? v == text : v.contains(text, Qt::CaseSensitive);
        if (match)
            r.row = index;
        return !match;
    });
    r.changed = true;
    if (r.row >= 0) {
        mLast = r.row;
        r.label = QStringLiteral("Found match in row number ") + QString::number(r.row + 1);
    } else {
        mExhausted = true;
        r.label = label + QStringLiteral(". No more matches found.");
    }
    return r;
}

} // namespace orv
