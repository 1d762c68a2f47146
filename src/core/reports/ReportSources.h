#pragma once

namespace orv {

class Database;

// The row sources the report definitions read besides the database's own tables, made for the
// connection (temporary, so that a database of any age has them and its file is not written):
//   sqRptORVValid          a view: one row per sampled record, with its marks and flags as words
//   sqRptORVValidElements  a view: one row per sampled record and data element, in their order
//   rptRecordLayout        the extract's record layout, from the import's own layout and checks
//   rptCountsLayout        the reported-counts file's layout
//   tblDuplicateRecords    when the database has none: its duplicate records, from the master
// Throws DbError.
void prepareReportSources(Database& db);

} // namespace orv
