#pragma once

#include "rules/ImportErrors.h"
#include "rules/RecordLayout.h"
#include "rules/RecordRules.h"

#include <QDate>
#include <QSet>
#include <QString>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// What the checks need beyond the record; built once per import.
class CheckContext {
public:
    CheckContext() = default;
    // states: the abbreviations of tblstates; period, periodEnd: the sign-in period.
    CheckContext(const QSet<QString>& states, const QDate& period, const QDate& periodEnd);

    const QSet<QString>& states() const { return mStates; }
    const QDate& period() const { return mPeriod; }
    const QDate& periodEnd() const { return mPeriodEnd; }
    // An invalid period counts as the zero date.
    YmdKey periodKey() const { return mPeriodKey; }
    YmdKey periodEndKey() const { return mPeriodEndKey; }

    // Whether the text, in upper case, is one of the states.
    bool isState(std::string_view text) const;

private:
    QSet<QString> mStates;
    std::vector<std::string> mStateKeys; // upper-case UTF-8, sorted
    QDate mPeriod, mPeriodEnd;
    YmdKey mPeriodKey = kZeroDateKey, mPeriodEndKey = kZeroDateKey;
};

using ErrorSink = std::function<void(const QString& message)>;

// Runs the field edit checks on columns 1-59 in their fixed order and calls onError with the
// message of every failing check; returns the number of failures (the record is rejected when
// it is not 0). The caller prefixes the entries with the obs: the first comma-field of the line
// while column 1 is blank, otherwise valueText(column 1) - column 1 is checked first, so every
// later message already belongs to that obs.
//
// When a state passes its check, state receives it as read (not upper-cased).
//
// Throws TypeMismatch when a range check meets text that is not a number; the failures of the
// checks before it have been reported by then.
int runFieldChecks(const ExtractRecord& record, const CheckContext& context,
                   const ErrorSink& onError, QString& state);

// The first column (1-64) holding text that is not a number in a number column, or 0. The
// master refuses such a record, as its engine would, even where no check compares the value.
int firstTypeMismatch(const ExtractRecord& record);
// What the checks ask of one column (1-64), in words, for the record layout report: whether it
// may be blank, and the values it allows ("" when any).
struct ColumnRuleText {
    bool required = false;
    QString allowed;
};
ColumnRuleText describeColumnRules(int pos);

inline bool hasTypeMismatch(const ExtractRecord& record) {
    return firstTypeMismatch(record) != 0;
}

} // namespace orv
