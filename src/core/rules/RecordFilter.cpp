#include "rules/RecordFilter.h"

namespace orv {

namespace {
struct FilterField {
    const char* column;
    QString RecordFilter::*value;
};
// The order in which the sign-in reads them from tblsystem.
constexpr FilterField kFields[] = {
    {"OfficeName", &RecordFilter::officeName},
    {"WibName", &RecordFilter::wibName},
    {"CaseMgr", &RecordFilter::caseMgr},
};
} // namespace

RecordFilter RecordFilter::fromStored(const QVariant& officeName, const QVariant& wibName,
                                      const QVariant& caseMgr, const QDate& periodStart,
                                      const QDate& periodEnd) {
    const auto value = [](const QVariant& stored) {
        const QString text = stored.isNull() ? QString() : stored.toString();
        return isSet(text) ? text : QString();
    };
    return {value(officeName), value(wibName), value(caseMgr), periodStart, periodEnd};
}

QString RecordFilter::sql() const {
    QString out;
    for (const auto& f : kFields) {
        if (isSet(this->*f.value))
            out += QStringLiteral("tblORVMaster.%1 = ? and ").arg(QLatin1String(f.column));
    }
    out += QStringLiteral("fWIAexitdate >= ? and fWIAexitdate <= ?");
    return out;
}

QVariantList RecordFilter::params() const {
    QVariantList out;
    for (const auto& f : kFields) {
        if (isSet(this->*f.value))
            out << this->*f.value;
    }
    // An unset period matches nothing rather than everything: dates are never null text here.
    out << (periodStart.isValid() ? periodStart.toString(Qt::ISODate) : QString(""))
        << (periodEnd.isValid() ? periodEnd.toString(Qt::ISODate) : QString(""));
    return out;
}

QString RecordFilter::text() const {
    QString out;
    for (const auto& f : kFields) {
        if (isSet(this->*f.value))
            out += QStringLiteral("tblORVMaster.%1 = '%2' ")
                       .arg(QLatin1String(f.column), this->*f.value);
    }
    return out;
}

} // namespace orv
