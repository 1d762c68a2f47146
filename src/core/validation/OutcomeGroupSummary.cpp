#include "validation/OutcomeGroupSummary.h"

#include "db/Database.h"
#include "rules/RecordFilter.h"
#include "validation/OutcomeGroups.h"
#include "validation/ReportValidation.h"

namespace orv {

namespace {

struct SummaryColumn {
    const char* lines[4]; // after the number; the list ends at the first null
    int widthTwips;
};

constexpr SummaryColumn kColumns[kSummaryColumns] = {
    {{"", "Performance Outcome", "Group"}, 1200},
    {{"", "Number", "in", "Group"}, 800},
    {{"", "Emp Status", "at", "Registration"}, 1200},
    {{"", "", "Emp", "Qtr+1"}, 800},
    {{"", "Type", "Match", "Qtr+1"}, 800},
    {{"", "", "Emp", "Qtr+2"}, 800},
    {{"", "Type", "Match", "Qtr+2"}, 800},
    {{"", "", "Emp", "Qtr+3"}, 800},
    {{"", "Type", "Match", "Qtr+3"}, 800},
    {{"", "Other", "Reasons", "for Exit"}, 800},
    {{"", "", "EER", "Num"}, 800},
    {{"", "", "EER", "Den"}, 800},
    {{"", "", "Ret", "Num"}, 800},
    {{"", "", "Ret", "Den"}, 800},
    {{"", "", "", "Earn"}, 800},
    {{"", "Group"}, 0}, // hidden
};

// The measures of columns 10 to 14, by seq.
constexpr int kMeasureColumns[] = {1, 2, 4, 5, 7};

// Columns 2 to 9 of a group: the status at registration, each quarter's employment and type
// of match, and the other reasons for exit.
QStringList patternWords(const OutcomeGroup& group) {
    const QString na = QStringLiteral("NA");
    QStringList words;
    switch (group.start) {
    case StartStatus::NotEmployed:
        words << QStringLiteral("UnEmp");
        break;
    case StartStatus::Employed:
        words << QStringLiteral("Emp");
        break;
    case StartStatus::NotTested:
        words << na;
    }
    for (int q = 0; q < 3; ++q) {
        switch (group.quarters[q]) {
        case 'W':
            words << QStringLiteral("Emp") << QStringLiteral("Wage");
            break;
        case 'S':
            words << QStringLiteral("Emp") << QStringLiteral("Supp");
            break;
        case 'Y':
            words << QStringLiteral("Emp") << na;
            break;
        case 'N':
            words << QStringLiteral("UnEmp") << na;
            break;
        default:
            words << na << na;
        }
    }
    words << (group.otherExit ? QStringLiteral("Yes") : QStringLiteral("No"));
    return words;
}

const Measure& measure(int seq) {
    for (const Measure& m : kMeasures) {
        if (m.seq == seq)
            return m;
    }
    return kMeasures.front();
}

} // namespace

QString summaryHeading(int column) {
    QString out = QString::number(column + 1);
    for (const char* line : kColumns[column].lines) {
        if (!line)
            break;
        out += QLatin1Char('\n') + QLatin1String(line);
    }
    return out;
}

QString summaryTitle(int column) {
    QStringList words;
    for (const char* line : kColumns[column].lines) {
        if (!line)
            break;
        if (*line)
            words << QLatin1String(line);
    }
    return words.join(QLatin1Char(' '));
}

int summaryWidthTwips(int column) {
    return kColumns[column].widthTwips;
}

// The groups' fixed words come from a VALUES list joined to one GROUP BY over the records, so
// the engine counts every group in one pass; a group without records still gets its row.
std::vector<QVariantList> readOutcomeGroupSummary(Database& db, const RecordFilter& filter) {
    QVariantList params;
    QStringList rows;
    for (const OutcomeGroup& group : kGroups) {
        const int g = group.number;
        QStringList marks{QStringLiteral("?")};
        params << g;
        for (const QString& word : patternWords(group)) {
            marks << QStringLiteral("?");
            params << word;
        }
        for (int seq : kMeasureColumns) {
            marks << QStringLiteral("?");
            params << (measure(seq).counts(g) ? 1 : 0);
        }
        rows << QLatin1Char('(') + marks.join(QLatin1String(", ")) + QLatin1Char(')');
    }
    QString sql = QStringLiteral("WITH p (grp, w2, w3, w4, w5, w6, w7, w8, w9, m10, m11, m12, "
                                 "m13, m14) AS (VALUES ") +
                  rows.join(QLatin1String(", ")) + QStringLiteral("), g AS (") +
                  groupTotalsSql(db, filter, false, params) +
                  QStringLiteral(") SELECT CAST(p.grp AS TEXT), ifnull(g.n, 0), p.w2, p.w3, "
                                 "p.w4, p.w5, p.w6, p.w7, p.w8, p.w9");
    const QString count = QStringLiteral("ifnull(g.n, 0)");
    for (int i = 0; i < 5; ++i) {
        const QString value = measure(kMeasureColumns[i]).kind == Measure::Earnings
                                  ? QStringLiteral("CASE WHEN ifnull(g.n, 0) = 0 THEN 0 "
                                                   "ELSE g.e2 + g.e3 END")
                                  : count;
        sql += QStringLiteral(", CASE WHEN p.m%1 THEN %2 ELSE 'No' END").arg(10 + i).arg(value);
    }
    sql += QStringLiteral(", CAST(p.grp AS TEXT) FROM p LEFT JOIN g ON g.grp = p.grp "
                          "ORDER BY p.grp");
    Statement st = db.prepare(sql.toStdString());
    st.bindAll(params);
    std::vector<QVariantList> out;
    while (st.step()) {
        QVariantList row;
        for (int c = 0; c < kSummaryColumns; ++c)
            row << st.value(c);
        out.push_back(row);
    }
    return out;
}

} // namespace orv
