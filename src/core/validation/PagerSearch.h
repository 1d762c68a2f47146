#pragma once
#include <QString>

namespace orv {

class MasterPager;

// Find Next through one column of a browse grid, in the grid's order: each click reports the
// next matching row after the one reported last, and the search ends (until its text changes)
// at the last row. The rows are read as the search goes, none kept: a grid of a million
// records is searched in flat memory, as the sample list's search is over its few rows.
class PagerSearch {
public:
    PagerSearch(MasterPager& pager, int column) : mPager(pager), mColumn(column) {}
    // The search box was left with this text: a changed text starts the search afresh.
    // Returns true when it did.
    [[nodiscard]] bool textLeft(const QString& text);
    struct [[nodiscard]] Result {
        qint64 row = -1;      // the row found, -1 for none
        QString label;        // the result label's new text
        bool changed = false; // false when the click did nothing
    };
    // label: the result label's current text, which the end of the search extends. Throws
    // DbError.
    Result findNext(const QString& text, bool exactMatch, const QString& label);

private:
    MasterPager& mPager;
    int mColumn;
    qint64 mLast = -1;
    QString mPrevious;
    bool mExhausted = false;
};

} // namespace orv
