#pragma once

#include "exports/GridExport.h"
#include "rules/RecordFilter.h"

#include <memory>

namespace orv {

class Database;
class MasterPager;

// A browse grid's rows (the source table, or one outcome group's records) under the grid's
// filter and order, streamed from its pager so that memory stays flat however many there are.
class MasterPagerSource : public GridRowSource {
public:
    // Reads an open pager the caller keeps alive; the grid's own, say, so the order it built
    // need not be built again.
    explicit MasterPagerSource(MasterPager& pager);
    // Owns the pager; it must be open.
    explicit MasterPagerSource(std::unique_ptr<MasterPager> pager);
    ~MasterPagerSource() override;

    QStringList columns() const override;
    qint64 rowCount() const override;
    // The master's number columns as numbers, but obs and the dates.
    std::vector<CellKind> columnKinds() const override;
    QString sheetName() const override { return QStringLiteral("Records"); }
    void forEachRow(const std::function<bool(const QStringList&)>& visit) override;

private:
    std::unique_ptr<MasterPager> mOwned;
    MasterPager& mPager;
};

// The outcome-group Summary rows as their grid shows them, without the hidden key column,
// headed by each column's title on one line.
class OutcomeSummarySource : public GridRowSource {
public:
    OutcomeSummarySource(Database& db, RecordFilter filter);
    QStringList columns() const override;
    // The group, its count and its measures as numbers; a measure it does not count ("No")
    // stays text.
    std::vector<CellKind> columnKinds() const override;
    QString sheetName() const override { return QStringLiteral("Outcome groups"); }
    void forEachRow(const std::function<bool(const QStringList&)>& visit) override;

private:
    Database& mDb;
    RecordFilter mFilter;
};

} // namespace orv
