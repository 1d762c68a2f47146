#pragma once
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace orv {

// Find Next through the cells of one column: each click reports the next matching row not yet
// reported, and the search ends (until its text changes) when the scan reaches a last row that
// does not match.
class ColumnSearch {
public:
    using Matches = std::function<bool(const QString& cell)>;
    // Where the search looks: the first row after `after` (-1 for the first row) whose cell
    // matches, or -1 when none does. May throw DbError.
    using RowFinder = std::function<qint64(qint64 after, const Matches& matches)>;

    // A column whose cells are in memory (the sample list's).
    explicit ColumnSearch(QStringList values);
    // A column read as the search goes (a browse grid's); `hasRows` false for an empty one.
    ColumnSearch(RowFinder finder, bool hasRows);

    // The search box was left with this text: a changed text starts the search afresh.
    // Returns true when it did (the screen then clears its result and the selection).
    [[nodiscard]] bool textLeft(const QString& text);
    struct [[nodiscard]] Result {
        qint64 row = -1;      // the row found, -1 for none
        QString label;        // the result label's new text
        bool changed = false; // false when the click did nothing
    };
    // label: the result label's current text, which the end of the search extends.
    Result findNext(const QString& text, bool exactMatch, const QString& label);
    bool exhausted() const { return mExhausted; }

private:
    RowFinder mFinder;
    bool mHasRows;
    QSet<qint64> mReported;
    QString mPrevious;
    bool mExhausted = false;
};

} // namespace orv
