#include "worksheet/SampleList.h"

#include "db/Database.h"

namespace orv {

namespace {

// The list's statement without its order; a sample row without a master record is left out.
QString listSelect() {
    QString sql = QStringLiteral("SELECT a.rowid, a.obs, a.ssn, b.SamplingUnit");
    for (const DataElement& e : kDataElements)
        sql += QStringLiteral(", a.%1, a.%2")
                   .arg(quotedColumn(e.valueColumn), quotedColumn(e.markColumn));
    return sql + QStringLiteral(", a.chk FROM tblsample AS a JOIN tblORVmaster AS b "
                                "ON a.randno = b.randno");
}

// What a sort by a column orders by. The columns that show another name, or a mark, sort by
// the column they show.
QString orderExpression(int column) {
    switch (column) {
    case 0:
        return QStringLiteral("a.obs");
    case 1:
        return QStringLiteral("a.ssn");
    case 2:
        return QStringLiteral("a.SamplingUnit");
    default:
        break;
    }
    const DataElement& e = kDataElements[listColumnElement(column)];
    return QStringLiteral("a.") + quotedColumn(isMarkColumn(column) ? e.markColumn : e.valueColumn);
}

} // namespace

Mark markFromValue(const QVariant& value) {
    if (value.isNull())
        return Mark::None;
    bool ok = false;
    const double v = value.toDouble(&ok);
    if (!ok)
        return Mark::None;
    if (v == 0)
        return Mark::Pass;
    if (v == 1)
        return Mark::Fail;
    return Mark::None;
}

QString markLetter(Mark mark) {
    switch (mark) {
    case Mark::Pass:
        return QStringLiteral("P");
    case Mark::Fail:
        return QStringLiteral("F");
    case Mark::None:
        break;
    }
    return {};
}

bool isMarkColumn(int column) {
    return column >= 3 && column < kListColumnCount && (column - 3) % 2 == 1;
}

int listColumnElement(int column) {
    return column >= 3 && column < kListColumnCount ? (column - 3) / 2 : -1;
}

QString listColumnHeader(int column) {
    switch (column) {
    case 0:
        return QStringLiteral("obs");
    case 1:
        return QStringLiteral("ssn");
    case 2:
        return QStringLiteral("SamplingUnit");
    default:
        break;
    }
    if (column < 0 || column >= kListColumnCount)
        return {};
    if (isMarkColumn(column))
        return QStringLiteral("Pass/Fail");
    return QString::fromLatin1(kDataElements[listColumnElement(column)].listName);
}

int listColumnWidth(int column) {
    switch (column) {
    case 0:
        return 100;
    case 1:
    case 3:
        return 150;
    default:
        break;
    }
    return isMarkColumn(column) ? 60 : 12 * static_cast<int>(listColumnHeader(column).size());
}

int listColumnByName(const QString& name) {
    for (int c = 0; c < kListColumnCount; ++c) {
        const QString own =
            isMarkColumn(c) ? QString::fromLatin1(kDataElements[listColumnElement(c)].markColumn)
                            : listColumnHeader(c);
        if (own.compare(name, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

QString SampleOrder::directionText() const {
    return descending ? QStringLiteral("Desc") : QStringLiteral("Asc");
}

QString SampleOrder::title() const {
    return QStringLiteral("Sort order: ") + listColumnHeader(column) + QLatin1Char(' ') +
           directionText();
}

SampleOrder headerClickOrder(int column, const QString& lastDirection) {
    return {column, lastDirection == QLatin1String("Asc")};
}

QString SampleListRow::cellText(int column) const {
    switch (column) {
    case 0:
        return obs;
    case 1:
        return ssn;
    case 2:
        return samplingUnit;
    default:
        break;
    }
    if (column < 0 || column >= kListColumnCount || isMarkColumn(column))
        return {};
    return values[listColumnElement(column)];
}

std::vector<SampleListRow> readSampleList(Database& db, const SampleOrder& order) {
    QString sql = listSelect() + QStringLiteral(" ORDER BY ");
    if (order.isSet())
        sql += orderExpression(order.column) +
               (order.descending ? QStringLiteral(" DESC") : QStringLiteral(" ASC")) +
               QStringLiteral(", a.obs, a.rowid");
    else
        sql += QStringLiteral("a.obs, a.rowid");
    Statement st = db.prepare(sql.toStdString());
    std::vector<SampleListRow> rows;
    while (st.step()) {
        SampleListRow row;
        row.rowId = st.int64(0);
        row.obs = displayText(st.value(1));
        row.ssn = displayText(st.value(2));
        row.samplingUnit = displayText(st.value(3));
        for (int i = 0; i < kElementCount; ++i) {
            row.values[i] = displayText(st.value(4 + 2 * i));
            row.marks[i] = markFromValue(st.value(5 + 2 * i));
        }
        row.completed =
            st.text(4 + 2 * kElementCount).compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0;
        rows.push_back(std::move(row));
    }
    return rows;
}

SampleTotals readSampleTotals(Database& db) {
    SampleTotals t;
    t.inSample = db.scalar("SELECT count(*) FROM tblsample AS a JOIN tblORVmaster AS b "
                           "ON a.randno = b.randno")
                     .toLongLong();
    t.inspected = db.scalar("SELECT count(*) FROM tblsample WHERE chk = 'Yes'").toLongLong();
    // A flag counts as set whatever its true value was stored as (1 here, -1 elsewhere).
    Statement flags = db.prepare("SELECT count(nullif(WrongSSN, 0)), count(nullif(InvalidRecord, "
                                 "0)), count(nullif(UnableToLocate, 0)), "
                                 "count(nullif(MissingRecord, 0)) FROM tblsample");
    if (flags.step()) {
        t.wrongSsn = flags.int64(0);
        t.invalidRecord = flags.int64(1);
        t.unableToLocate = flags.int64(2);
        t.missingRecord = flags.int64(3);
    }
    QString sums = QStringLiteral("SELECT ");
    for (int i = 0; i < kElementCount; ++i)
        sums += (i ? QStringLiteral(", sum(") : QStringLiteral("sum(")) +
                quotedColumn(kDataElements[i].markColumn) + QLatin1Char(')');
    Statement failed = db.prepare((sums + QStringLiteral(" FROM tblsample")).toStdString());
    if (failed.step()) {
        for (int i = 0; i < kElementCount; ++i)
            t.failed[i] = failed.value(i);
    }
    return t;
}

} // namespace orv
