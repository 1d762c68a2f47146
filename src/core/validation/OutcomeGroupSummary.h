#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <vector>

namespace orv {

class Database;
struct RecordFilter;

// The summary of the performance outcome groups: per group its number, its record count,
// its pattern in words, the measures it counts towards (the count, the earnings sum, or No)
// and its number again (a hidden key column).
constexpr int kSummaryColumns = 16;
constexpr int kSummaryKeyColumn = 15;

// A summary column's heading: its number, an empty line, then its words, one per line.
QString summaryHeading(int column);
// The same words on one line, without the number: "Performance Outcome Group".
QString summaryTitle(int column);
// Width of a shown column in twips.
int summaryWidthTwips(int column);

// A row per outcome group, of kSummaryColumns values, of the records that pass the filter, in one
// statement. Throws DbError.
std::vector<QVariantList> readOutcomeGroupSummary(Database& db, const RecordFilter& filter);

} // namespace orv
