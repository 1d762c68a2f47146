#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace orv {

// Find Next through the cells of one list column: each click reports the next matching row
// not yet reported, and the search ends (until its text changes) when the scan reaches a last
// row that does not match.
class ColumnSearch {
public:
    explicit ColumnSearch(QStringList values) : mValues(std::move(values)) {}

    // The search box was left with this text: a changed text starts the search afresh.
    // Returns true when it did (the screen then clears its result and the selection).
    [[nodiscard]] bool textLeft(const QString& text);

    struct [[nodiscard]] Result {
        int row = -1;         // the row found, -1 for none
        QString label;        // the result label's new text
        bool changed = false; // false when the click did nothing
    };
    // label: the result label's current text, which the end of the search extends.
    Result findNext(const QString& text, bool exactMatch, const QString& label);

    bool exhausted() const { return mExhausted; }

private:
    QStringList mValues;
    QSet<int> mReported;
    QString mPrevious;
    bool mExhausted = false;
};

} // namespace orv
