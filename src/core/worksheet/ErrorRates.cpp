#include "worksheet/ErrorRates.h"

#include "session/Session.h"
#include "session/SignIn.h"
#include "worksheet/DataElements.h"

#include <array>
#include <cfenv>
#include <cmath>

namespace orv {

const char* const kErrorRateColumns[13] = {
    "rptcell", "subpops", "ctype",      "cfield", "cval",       "cweight", "pct",
    "Ref",     "seq",     "allchecked", "extra",  "InvalidRec", "WrongSSN"};

namespace {

struct ElementSums {
    double failWeight = 0;   // weight x mark over the marked rows
    double markedWeight = 0; // weight over the marked rows
    qint64 fails = 0;
    bool marked = false;
};

// A rate, or Null where its weight sum is 0 and the rate is undefined.
QVariant rate(double numerator, double weight) {
    if (weight == 0)
        return {};
    return roundRate(numerator / weight * 100);
}

} // namespace

double roundRate(double value) {
    // nearbyint rounds halves to even in the default rounding mode.
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(value * 100) / 100;
    std::fesetround(mode);
    return r;
}

QString rateText(const QVariant& rate) {
    if (rate.isNull())
        return QStringLiteral("n/a");
    return QString::number(rate.toDouble(), 'f', 2);
}

QStringList errorRateCells(const ErrorRateRow& r) {
    return {r.label,
            r.periodEnd,
            r.state,
            r.sampled,
            rateText(r.overall),
            rateText(r.validated),
            displayText(r.errors),
            r.code,
            QString::number(r.seq),
            r.checked,
            r.office,
            displayText(r.invalid),
            displayText(r.wrongSsn)};
}

std::vector<ErrorRateRow> ComputeErrorRates(Session& session) {
    Database& db = session.db();
    QString sql = QStringLiteral("SELECT weight, chk, WrongSSN, InvalidRecord, UnableToLocate, "
                                 "MissingRecord");
    for (const DataElement& e : kDataElements)
        sql += QStringLiteral(", ") + quotedColumn(e.markColumn);
    Statement st = db.prepare((sql + QStringLiteral(" FROM tblsample")).toStdString());

    std::array<ElementSums, kElementCount> sums{};
    double totalWeight = 0;
    qint64 rows = 0, checked = 0, invalid = 0, wrongSsn = 0;
    auto set = [&st](int c) { return !st.isNull(c) && st.real(c) != 0; };
    while (st.step()) {
        ++rows;
        // A row without a weight weighs nothing.
        const double w = st.isNull(0) ? 0 : st.real(0);
        totalWeight += w;
        if (st.text(1).compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0)
            ++checked;
        if (set(2))
            ++wrongSsn;
        if (set(3) || set(4) || set(5))
            ++invalid;
        for (int e = 0; e < kElementCount; ++e) {
            const int c = 6 + e;
            if (st.isNull(c))
                continue;
            const double mark = st.real(c);
            ElementSums& s = sums[e];
            s.marked = true;
            s.failWeight += mark * w;
            s.markedWeight += w;
            s.fails += static_cast<qint64>(mark);
        }
    }

    std::vector<ErrorRateRow> out;
    Transaction tx(db);
    db.exec("DELETE FROM tbltemp");
    if (rows > 0) {
        Statement insert = db.prepare("INSERT INTO tbltemp VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                                      "?, ?, ?)");
        for (int e = 0; e < kElementCount; ++e) {
            const ElementSums& s = sums[e];
            ErrorRateRow r;
            r.label = QString::fromLatin1(kDataElements[e].rateLabel);
            r.periodEnd = shortDate(session.settings().reportingPeriodEnd);
            r.state = session.settings().state + QLatin1Char(' ');
            r.sampled = QString::number(rows);
            r.overall = rate(s.failWeight, totalWeight);
            // An element nobody marked has a validated rate of 0.
            r.validated = s.marked ? rate(s.failWeight, s.markedWeight) : QVariant(0.0);
            r.errors = QVariant::fromValue<qlonglong>(s.fails);
            r.code = QStringLiteral("%1").arg(e + 1, 2, 10, QLatin1Char('0'));
            r.seq = e;
            r.checked = QString::number(checked);
            r.office = session.settings().officeName;
            r.invalid = QVariant::fromValue<qlonglong>(invalid);
            r.wrongSsn = QVariant::fromValue<qlonglong>(wrongSsn);
            insert.bindAll({r.label, r.periodEnd, r.state, r.sampled, r.overall, r.validated,
                            r.errors, r.code, r.seq, r.checked, r.office, r.invalid, r.wrongSsn});
            insert.run();
            insert.rewind();
            out.push_back(std::move(r));
        }
    }
    tx.commit();
    return out;
}

std::vector<ErrorRateRow> readErrorRates(Database& db) {
    Statement st = db.prepare("SELECT rptcell, subpops, ctype, cfield, cval, cweight, pct, Ref, "
                              "seq, allchecked, extra, InvalidRec, WrongSSN FROM tbltemp "
                              "ORDER BY seq, rowid");
    std::vector<ErrorRateRow> rows;
    while (st.step()) {
        ErrorRateRow r;
        r.label = st.text(0);
        r.periodEnd = st.text(1);
        r.state = st.text(2);
        r.sampled = st.text(3);
        r.overall = st.value(4);
        r.validated = st.value(5);
        r.errors = st.value(6);
        r.code = st.text(7);
        r.seq = static_cast<int>(st.int64(8));
        r.checked = st.text(9);
        r.office = st.text(10);
        r.invalid = st.value(11);
        r.wrongSsn = st.value(12);
        rows.push_back(std::move(r));
    }
    return rows;
}

} // namespace orv
