#include "validation/ReportValidation.h"

#include "db/Savepoint.h"
#include "rules/RecordFilter.h"
#include "session/Session.h"
#include "session/SignIn.h"

#include <map>

namespace orv {

const std::array<Measure, 9> kMeasures = {{
    {1, "EER Numerator", Measure::Count, &OutcomeGroup::enteredEmployment, 0, 0, 0},
    {2, "EER Denominator", Measure::Count, &OutcomeGroup::notEmployedAtStart, 0, 0, 0},
    {3, "EE Rate", Measure::Rate, nullptr, 1, 2, 100},
    {4, "Retention Numerator", Measure::Count, &OutcomeGroup::employedEveryQuarter, 0, 0, 0},
    {5, "Retention Denominator", Measure::Count, &OutcomeGroup::employedFirstQuarter, 0, 0, 0},
    {6, "Retention Rate", Measure::Rate, nullptr, 4, 5, 100},
    {7, "Average Earnings Numerator", Measure::Earnings, &OutcomeGroup::wagesEveryQuarter, 0, 0, 0},
    {8, "Average Earnings Denominator", Measure::Count, &OutcomeGroup::wagesEveryQuarter, 0, 0, 0},
    {9, "Average Earnings", Measure::Rate, nullptr, 7, 8, 1},
}};

namespace {

// The groups whose earnings some measure sums, as an SQL list: "1, 13".
QString earningsGroups() {
    QStringList groups;
    for (int g = 1; g <= kGroupCount; ++g) {
        for (const Measure& m : kMeasures) {
            if (m.kind == Measure::Earnings && m.counts(g)) {
                groups << QString::number(g);
                break;
            }
        }
    }
    return groups.join(QLatin1String(", "));
}

std::map<int, GroupTotals> readGroupTotals(Database& db, const RecordFilter& filter,
                                           const QVariant& popType) {
    QVariantList params{popType};
    Statement st = db.prepare(groupTotalsSql(db, filter, true, params).toStdString());
    st.bindAll(params);
    std::map<int, GroupTotals> out;
    while (st.step()) {
        GroupTotals& t = out[static_cast<int>(st.int64(0))];
        t.count = st.int64(1);
        if (t.count != 0 && !st.isNull(2))
            t.earnings = st.real(2) + st.real(3);
    }
    return out;
}

// A measure's value from the group totals and the measures before it.
QVariant measureValue(const Measure& m, const std::map<int, GroupTotals>& totals,
                      const std::map<int, QVariant>& earlier) {
    if (m.kind == Measure::Rate) {
        const double denominator = earlier.at(m.denominator).toDouble();
        if (denominator == 0)
            return 0.0;
        return earlier.at(m.numerator).toDouble() / denominator * m.scale;
    }
    qint64 count = 0;
    double earnings = 0;
    for (const auto& [group, t] : totals) {
        if (!m.counts(group))
            continue;
        count += t.count;
        earnings += t.earnings.toDouble();
    }
    if (m.kind == Measure::Count)
        return static_cast<double>(count);
    // A sum over no record is Null.
    return count == 0 ? QVariant() : QVariant(earnings);
}

} // namespace

QString groupTotalsSql(Database& db, const RecordFilter& filter, bool popTypeParam,
                       QVariantList& params) {
    const QString pop = popTypeParam ? QStringLiteral("pop = ? AND ") : QString();
    const QString earn = earningsGroups();
    const QVariant popType = popTypeParam ? params.takeLast() : QVariant();
    auto conditionParams = [&] {
        if (popTypeParam)
            params << popType;
        params += filter.params();
    };
    const bool periodIndex = db.scalar("SELECT 1 FROM sqlite_master WHERE type = 'index' AND "
                                       "name = 'idx_master_period'")
                                 .isValid();
    if (filter.anyFilter() || !periodIndex) {
        // The office, WIB and case-manager columns are in no index: one pass over the table
        // beats a seek per row.
        conditionParams();
        return QStringLiteral(
                   "SELECT spopnum AS grp, count(*) AS n, "
                   "sum(CASE WHEN spopnum IN (%1) THEN ifnull(Earn2QTRAfterExit, 0) END) AS e2, "
                   "sum(CASE WHEN spopnum IN (%1) THEN ifnull(Earn3QTRAfterExit, 0) END) AS e3 "
                   "FROM tblORVmaster NOT INDEXED WHERE spopnum >= 1 AND spopnum <= %2 AND ")
                   .arg(earn)
                   .arg(kGroupCount) +
               pop + filter.sql() + QStringLiteral(" GROUP BY spopnum");
    }
    // Each group counted on the period index from one seek to the next, its period a range
    // of entries; the earnings groups' rows then read in table order.
    QStringList groups;
    for (int g = 1; g <= kGroupCount; ++g)
        groups << QStringLiteral("(%1)").arg(g);
    QString sql =
        QStringLiteral("SELECT k.column1 AS grp, (SELECT count(*) FROM tblORVmaster "
                       "INDEXED BY idx_master_period WHERE spopnum = k.column1 AND ") +
        pop + filter.sql() + QStringLiteral(") AS n, e.e2 AS e2, e.e3 AS e3 FROM (VALUES ") +
        groups.join(QLatin1String(", ")) +
        QStringLiteral(") AS k LEFT JOIN (SELECT spopnum AS grp, "
                       "sum(ifnull(Earn2QTRAfterExit, 0)) AS e2, "
                       "sum(ifnull(Earn3QTRAfterExit, 0)) AS e3 FROM tblORVmaster "
                       "WHERE rowid IN (SELECT rowid FROM tblORVmaster INDEXED BY "
                       "idx_master_period WHERE spopnum IN (%1) AND ")
            .arg(earn) +
        pop + filter.sql() + QStringLiteral(") GROUP BY spopnum) AS e ON e.grp = k.column1");
    conditionParams();
    conditionParams();
    return sql;
}

void ComputeReportValidation(Session& session) {
    Database& db = session.db();
    const Settings& s = session.settings();
    const QString period =
        shortDate(s.reportingPeriodStart) + QStringLiteral(" - ") + shortDate(s.reportingPeriodEnd);
    Savepoint sp(db, "orv_validation");
    const QVariant popType = db.scalar("SELECT PopType FROM tblsystem");
    const std::map<int, GroupTotals> totals = readGroupTotals(db, session.recordFilter(), popType);
    const bool rates = !popType.isNull() && popType.toString() == QLatin1String("1");

    db.exec("DELETE FROM tblvalidation");
    Statement insert = db.prepare("INSERT INTO tblvalidation (rptcell, description, value, "
                                  "seq, rtype) VALUES (?, ?, ?, ?, ?)");
    std::map<int, QVariant> values;
    for (const Measure& m : kMeasures) {
        if (m.kind == Measure::Rate && !rates)
            continue;
        const QVariant value = measureValue(m, totals, values);
        values[m.seq] = value;
        insert.bindAll(
            {QString::number(m.seq), QString::fromLatin1(m.description), value, m.seq, period});
        insert.run();
        insert.reset();
    }
    sp.release();
}

std::vector<ValidationRow> readValidationRows(Database& db) {
    Statement st = db.prepare(
        "SELECT rptcell, description, value, seq, rtype FROM tblvalidation ORDER BY seq");
    std::vector<ValidationRow> rows;
    while (st.step())
        rows.push_back(
            {st.text(0), st.text(1), st.value(2), static_cast<int>(st.int64(3)), st.text(4)});
    return rows;
}

} // namespace orv
