#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace orv {

class FrontEnd;

// How a workbook holds a column's cells. A Number cell whose text is no number a spreadsheet
// can hold exactly stays text, as does every cell of a CSV.
enum class CellKind { Text, Number };

// The rows of a grid as a user sees them, for export: a header, then rows of shown texts.
// Rows are handed over one at a time, so a source over a big table need hold only the row at
// hand (a browse pager's forEach fits as it is).
class GridRowSource {
public:
    virtual ~GridRowSource() = default;
    virtual QStringList columns() const = 0;
    // The number of rows when known beforehand, for the progress text; -1 when not.
    virtual qint64 rowCount() const { return -1; }
    // One per column; codes (SSN, obs, dates) are Text so that they keep what the grid shows.
    virtual std::vector<CellKind> columnKinds() const {
        return std::vector<CellKind>(static_cast<size_t>(columns().size()), CellKind::Text);
    }
    // The worksheet's name in a workbook.
    virtual QString sheetName() const { return QStringLiteral("Sheet1"); }
    // Hands every row to visit, in order, until visit returns false. Throws DbError.
    virtual void forEachRow(const std::function<bool(const QStringList&)>& visit) = 0;
};

enum class GridExportOutcome { Written, Cancelled, Failed };

struct [[nodiscard]] GridExportResult {
    GridExportOutcome outcome = GridExportOutcome::Failed;
    qint64 rows = 0; // data rows written (or read until the stop)
    QString error;   // what went wrong, for the caller to show
};

// Every now and then the export shows its count in status panel 1 and lets the window paint;
// a Cancel button pressed meanwhile sets *cancel, and the export stops at the next such point.
// The file appears only complete: a failed or cancelled export leaves any earlier file of the
// same name as it was. Neither function shows a message; the caller tells the outcome.
struct GridExportControl {
    FrontEnd* ui = nullptr;
    const bool* cancel = nullptr;
};

// Comma-separated, RFC 4180: CRLF line ends, a field with a comma, a quote, CR or LF in
// double quotes, quotes doubled. UTF-8, no byte-order mark. A text beginning with "=", "+",
// "-", "@", a tab or a CR gets a leading apostrophe, so that a spreadsheet shows it rather than
// runs it as a formula; a number (-12.5) stays as it is.
GridExportResult exportGridCsv(GridRowSource& source, const QString& path,
                               const GridExportControl& control = {});
// One worksheet named by the source, its header row bold, frozen and filtered, the number
// columns' numbers as numbers and every other cell as text. Columns are as wide as their
// texts in the first rows. At most 1,048,575 rows, a spreadsheet's limit.
GridExportResult exportGridXlsx(GridRowSource& source, const QString& path,
                                const GridExportControl& control = {});

// Whether a master or sample column holds a yyyymmdd date (BirthDate, WIAExitDate): stored as
// a number, but a code to a reader.
bool isDateColumn(const QString& name);

// One CSV field, quoted when it must be, a formula-like text made text.
QByteArray csvField(const QString& value);

} // namespace orv
