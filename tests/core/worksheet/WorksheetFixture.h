#pragma once

#include "../validation/ValidationFixture.h"

#include "worksheet/DataElements.h"

namespace orv::test {

// A database with sampled records made by hand: every element reported unless a test says
// otherwise, and a master record behind each sample row.
class WorksheetTest : public ValidationTest {
protected:
    // Adds a sample row (and its master record unless withMaster is false); returns its rowid.
    qint64 addSample(int obs, const Columns& changes = {}, bool withMaster = true) {
        Columns row = {{"obs", obs},           {"ssn", QString::number(100000000 + obs)},
                       {"randno", 1000 + obs}, {"SamplingUnit", 7},
                       {"Weight", 1.0},        {"sampletype", "R"}};
        for (int i = 0; i < kElementCount; ++i)
            row.push_back({QString::fromLatin1(kDataElements[i].valueColumn), 10 + i});
        row = changed(row, changes);
        insertRow(db(), QStringLiteral("tblsample"), row);
        const qint64 id = db().lastInsertRowId();
        if (withMaster) {
            auto valueOf = [&row](const char* name) {
                return std::find_if(row.begin(), row.end(),
                                    [&](const auto& c) { return c.first == QLatin1String(name); })
                    ->second;
            };
            insertMaster(db(), {{"obs", obs},
                                {"randno", valueOf("randno")},
                                {"SamplingUnit", valueOf("SamplingUnit")}});
        }
        return id;
    }

    // The stored marks as one letter a line: P, F or '.' for none.
    QString storedMarks(qint64 rowId) {
        QString sql = QStringLiteral("SELECT ");
        for (int i = 0; i < kElementCount; ++i)
            sql +=
                (i ? QStringLiteral(", ") : QString()) + quotedColumn(kDataElements[i].markColumn);
        Statement st =
            db().prepare((sql + QStringLiteral(" FROM tblsample WHERE rowid = ?")).toStdString());
        st.bind(1, static_cast<std::int64_t>(rowId));
        QString marks;
        if (!st.step())
            return marks;
        for (int i = 0; i < kElementCount; ++i)
            marks += st.isNull(i)  ? QLatin1Char('.')
                     : st.int64(i) ? QLatin1Char('F')
                                   : QLatin1Char('P');
        return marks;
    }
};

// Marks as a test writes them: one letter a line.
inline Columns marksColumns(const char* letters, Columns c = {}) {
    for (int i = 0; i < kElementCount && letters[i]; ++i) {
        const QString col = QString::fromLatin1(kDataElements[i].markColumn);
        if (letters[i] == 'P')
            c.push_back({col, 0});
        else if (letters[i] == 'F')
            c.push_back({col, 1});
    }
    return c;
}

} // namespace orv::test
