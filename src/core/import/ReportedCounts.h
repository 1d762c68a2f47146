#pragma once

#include <QByteArray>
#include <QString>

namespace orv {

class ImportView;
class Session;

inline const QString kReloadCountsQuestion =
    QStringLiteral("This process will reload the Reported Counts Table.\n"
                   "Press Yes to continue / No to stop");

// Field n of a counts line, counting from 1: the text before the n-th comma; the last field is
// the rest of the line without blanks around it. Past the last field the last one again;
// n = 0 gives an empty text.
QString GetCsvField(const QString& line, int n);

constexpr int kReportedCountsPerLine = 9;

// One line of a counts file, read.
struct CountsLine {
    QString cell;
    QString description;
    double counts[kReportedCountsPerLine] = {}; // an empty count is 0
};

// A raw line of a counts file (line end included or not) as text: UTF-8 when it is that, else
// Latin-1, as an older Windows program saves it.
QString decodeCountsLine(QByteArray bytes);

// Reads a non-empty counts line: "cell,description,c1,...,c9". Returns false with the reason
// (naming lineNumber) when it has fewer than nine counts, text after the ninth, or a count
// that is no finite number.
bool parseCountsLine(const QString& line, int lineNumber, CountsLine& out, QString& error);

enum class CountsOutcome {
    Declined, // the reload question was answered No: nothing changed
    Imported,
    Failed, // nothing changed
};

struct [[nodiscard]] CountsResult {
    CountsOutcome outcome = CountsOutcome::Declined;
    int lines = 0; // lines imported
    int rows = 0;  // rows of tblReportedCounts
    QString error;
};

// Replaces tblReportedCounts with the counts of a file: a line "cell,description,c1,...,c9"
// becomes nine rows (seq 1 to 9) with the cell and description as typed and the counts as
// numbers, an empty count 0; empty lines are skipped. Asks before, and replaces the table only
// when every line is sound: a line with fewer than nine counts (or text after the ninth), a
// count that is no number or a line longer than the extract's limit is named in a message and
// the table stays as it was; so it does for a file without a line of counts. Shows its
// progress and outcome on the import screen's labels when a view is given.
CountsResult ImportReportedCounts(Session& session, const QString& file,
                                  ImportView* view = nullptr);

} // namespace orv
