#pragma once

#include "validation/OutcomeGroups.h"

#include <QString>
#include <QVariant>
#include <QVariantList>

#include <array>
#include <vector>

namespace orv {

class Database;
class Session;
struct RecordFilter;

// A performance measure as the report validation recomputes it: a count of the records of
// some outcome groups, the sum of their earnings in the 2nd and 3rd quarter after exit, or the
// rate of two measures before it.
struct Measure {
    enum Kind { Count, Earnings, Rate };
    using GroupSet = bool (OutcomeGroup::*)() const;
    int seq;
    const char* description;
    Kind kind;
    GroupSet groups;            // the groups a count or sum takes; null for a rate
    int numerator, denominator; // seq of a rate's parts
    double scale;

    bool counts(int group) const {
        return groups && group >= 1 && group <= kGroupCount && (outcomeGroup(group).*groups)();
    }
};

// The nine rows of tblvalidation, in seq order; a rate comes after its parts.
extern const std::array<Measure, 9> kMeasures;

// What the records of one outcome group that pass the filter add up to.
struct GroupTotals {
    qint64 count = 0;
    QVariant earnings; // Earn2QTRAfterExit + Earn3QTRAfterExit, Null as 0; Null when no record
};

// The statement that totals, per outcome group, the records that pass the filter (and,
// when popTypeParam, whose pop equals the population type at the end of `params`): grp, n, e2,
// e3, the earnings of the groups a measure sums them over and Null for the others. A group
// without records has n 0 or no row. Appends its parameters to `params` (the population type
// taken from there). Used by ComputeReportValidation and the outcome group summary.
QString groupTotalsSql(Database& db, const RecordFilter& filter, bool popTypeParam,
                       QVariantList& params);

// One row of tblvalidation.
struct ValidationRow {
    QString rptcell;
    QString description;
    QVariant value; // Null for an earnings sum over no record
    int seq = 0;
    QString rtype; // the reporting period: "07/01/2006 - 06/30/2007"
};

// Recomputes the performance measures from the master records of the session's population
// type that pass its record filter, and replaces the rows of tblvalidation with them, all or
// nothing. The rates are left out unless the population type is "1". Throws DbError, and
// tblvalidation is then as it was.
void ComputeReportValidation(Session& session);

// The rows tblvalidation holds, in seq order. Throws DbError.
std::vector<ValidationRow> readValidationRows(Database& db);

} // namespace orv
