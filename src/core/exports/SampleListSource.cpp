#include "exports/SampleListSource.h"

#include "db/Database.h"

namespace orv {

SampleListSource::SampleListSource(Database& db, SampleOrder order) : mDb(db), mOrder(order) {}

QStringList SampleListSource::columns() const {
    QStringList out;
    for (int c = 0; c < kListColumnCount; ++c)
        out << listColumnHeader(c);
    return out;
}

std::vector<CellKind> SampleListSource::columnKinds() const {
    std::vector<CellKind> out;
    for (int c = 0; c < kListColumnCount; ++c) {
        const int element = listColumnElement(c);
        const bool number =
            c == 2 || (element >= 0 && !isMarkColumn(c) &&
                       !isDateColumn(QLatin1String(kDataElements[element].valueColumn)));
        out.push_back(number ? CellKind::Number : CellKind::Text);
    }
    return out;
}

QStringList SampleListSource::cells(const SampleListRow& row) {
    QStringList out;
    for (int c = 0; c < kListColumnCount; ++c)
        out << (isMarkColumn(c) ? markLetter(row.marks[listColumnElement(c)]) : row.cellText(c));
    return out;
}

void SampleListSource::forEachRow(const std::function<bool(const QStringList&)>& visit) {
    for (const SampleListRow& row : readSampleList(mDb, mOrder)) {
        if (!visit(cells(row)))
            return;
    }
}

} // namespace orv
