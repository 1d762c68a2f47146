#include "worksheet/ColumnSearch.h"

namespace orv {

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
    if (text.isEmpty() || mExhausted)
        return r;
    const int n = static_cast<int>(mValues.size());
    for (int i = 0; i < n; ++i) {
        const QString& v = mValues.at(i);
        const bool match = exactMatch ? v == text : v.contains(text, Qt::CaseSensitive);
        if (match && !mReported.contains(i)) {
            mReported.insert(i);
            r.row = i;
            r.label = QStringLiteral("Found match in row number ") + QString::number(i + 1);
            r.changed = true;
            return r;
        }
        if (i == n - 1 && !match) {
            mExhausted = true;
            r.label = label + QStringLiteral(". No more matches found.");
            r.changed = true;
        }
    }
    // A last row that matches but was reported before ends the search too; say so.
    if (!r.changed && n > 0) {
        mExhausted = true;
        r.label = label + QStringLiteral(". No more matches found.");
        r.changed = true;
    }
    return r;
}

} // namespace orv
