#include "exports/MasterGridSources.h"

#include "rules/RecordLayout.h"
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

std::vector<CellKind> MasterPagerSource::columnKinds() const {
    // The extract's layout types the master's columns as the schema does.
    const MasterColumns& columns = mPager.columns();
    std::vector<CellKind> out;
    for (int i = 0; i < columns.shown(); ++i) {
        const QString& name = columns.names[i];
        const int pos = extractColumnPos(name.toStdString());
        const bool number =
            pos > 0 && isNumberColumn(pos) && pos != orv::pos(Col::Obs) && !isDateColumn(name);
        out.push_back(number ? CellKind::Number : CellKind::Text);
    }
    return out;
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

std::vector<CellKind> OutcomeSummarySource::columnKinds() const {
    // The group, its count, then its pattern in words (columns 3 to 10) and its measures.
    std::vector<CellKind> out(kSummaryKeyColumn, CellKind::Number);
    for (int c = 2; c < 10; ++c)
        out[c] = CellKind::Text;
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
