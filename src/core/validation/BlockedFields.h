#pragma once

#include <QString>
#include <QVariant>

#include <optional>

namespace orv {

class Session;

// A blocked value as tblBlockedFields writes it, the way it would stand in an SQL condition:
// 'text' (quotes doubled inside) or a number (digits, optional sign and decimals). Anything
// else gives no value.
std::optional<QVariant> parseBlockedValue(const QString& written);

// Blanks, in tblsample only, every value that tblBlockedFields lists, row by row in the order
// of the column name. A row whose value cannot be read is skipped. A column that tblsample
// lacks, or a refused statement, throws DbError; rows done before it keep their effect.
// Returns the number of rows applied.
int ClearBlockedFields(Session& session);

} // namespace orv
