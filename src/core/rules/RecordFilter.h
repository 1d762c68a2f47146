#pragma once

#include <QDate>
#include <QString>
#include <QVariant>
#include <QVariantList>

namespace orv {

// The office, WIB and case-manager filters of the sign-in plus the reporting period.
// Renders a condition on tblORVMaster with '?' placeholders and the values to bind, in order.
struct RecordFilter {
    QString officeName; // a single space or empty: no filter
    QString wibName;
    QString caseMgr;
    QDate periodStart;
    QDate periodEnd;

    // The filter of the office, WIB and case-manager values as tblsystem stores them, over the
    // period. Null, empty and a single space each mean no filter on their column.
    static RecordFilter fromStored(const QVariant& officeName, const QVariant& wibName,
                                   const QVariant& caseMgr, const QDate& periodStart,
                                   const QDate& periodEnd);

    static bool isSet(const QString& value) {
        return !value.isEmpty() && value != QLatin1String(" ");
    }
    bool anyFilter() const { return isSet(officeName) || isSet(wibName) || isSet(caseMgr); }

    // e.g. "tblORVMaster.OfficeName = ? and fWIAexitdate >= ? and fWIAexitdate <= ?"
    QString sql() const;
    QVariantList params() const;
    // The readable list of active filters: tblORVMaster.OfficeName = 'X' ...
    QString text() const;
};

} // namespace orv
