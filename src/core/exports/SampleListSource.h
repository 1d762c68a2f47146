#pragma once

#include "exports/GridExport.h"
#include "worksheet/SampleList.h"

namespace orv {

class Database;

// The sample list as its grid shows it: the list's columns and headers, a mark as P, F or
// blank. The sample is small (hundreds of rows), so it is read whole when the export starts.
class SampleListSource : public GridRowSource {
public:
    explicit SampleListSource(Database& db, SampleOrder order = {});
    QStringList columns() const override;
    // The sampling unit and the elements' values as numbers; OBS, SSN, the dates and the
    // marks as text.
    std::vector<CellKind> columnKinds() const override;
    QString sheetName() const override { return QStringLiteral("Sample"); }
    void forEachRow(const std::function<bool(const QStringList&)>& visit) override;

    // The cells of one list row, in column order.
    static QStringList cells(const SampleListRow& row);

private:
    Database& mDb;
    SampleOrder mOrder;
};

} // namespace orv
