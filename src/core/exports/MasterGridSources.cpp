#include "exports/MasterGridSources.h"

#include "validation/MasterPager.h"
#include "validation/OutcomeGroupSummary.h"

namespace orv {

MasterPagerSource::MasterPagerSource(MasterPager& pager) : mPager(pager) {}

MasterPagerSource::MasterPagerSource(std::unique_ptr<MasterPager> pager)
    : mOwned(std::move(pager)), mPager(*mOwned) {}

MasterPagerSource::~MasterPagerSource() = default;

QStringList MasterPagerSource::columns() const {
    return mPager.columns().headings;
}

qint64 MasterPagerSource::rowCount() const {
    return mPager.rowCount();
}

void MasterPagerSource::forEachRow(const std::function<bool(const QStringList&)>& visit) {
    mPager.forEach(-1, visit);
}

OutcomeSummarySource::OutcomeSummarySource(Database& db, RecordFilter filter)
    : mDb(db), mFilter(std::move(filter)) {}

QStringList OutcomeSummarySource::columns() const {
    QStringList out;
    for (int c = 0; c < kSummaryKeyColumn; ++c)
        out << summaryTitle(c);
    return out;
}

void OutcomeSummarySource::forEachRow(const std::function<bool(const QStringList&)>& visit) {
    for (const QVariantList& row : readOutcomeGroupSummary(mDb, mFilter)) {
        QStringList cells;
        for (int c = 0; c < kSummaryKeyColumn; ++c)
            cells << cellText(row.value(c));
        if (!visit(cells))
            return;
    }
}

} // namespace orv
