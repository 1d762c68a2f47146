#include "import/ReportedCounts.h"

#include "db/Database.h"
#include "import/ExtractReader.h"
#include "import/ImportRun.h"
#include "session/Session.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <cmath>

namespace orv {

namespace {

constexpr int kFieldCount = 2 + kReportedCountsPerLine; // cell, description, the counts

struct LineFailure {
    QString text;
    bool saysTableKept = false; // the text already says the table was left as it was
};

// Reads one line of at most the extract's line limit, so a file that is one huge line is
// refused after reading that much and no more. False at the end of the file.
bool readCountsLine(QFile& file, int lineNumber, QByteArray& bytes) {
    if (file.atEnd())
        return false;
    constexpr qint64 kLimit = qint64(ExtractReader::kMaxLineBytes);
    bytes = file.readLine(kLimit + 3); // the line and its CR LF
    qsizetype content = bytes.size();
    if (bytes.endsWith('\n'))
        --content;
    if (content > 0 && bytes.at(content - 1) == '\r')
        --content;
    if (content > kLimit || (!bytes.endsWith('\n') && !file.atEnd()))
        throw LineFailure{QStringLiteral("Line %1 is longer than %2 bytes: no counts line is "
                                         "that long.")
                              .arg(lineNumber)
                              .arg(kLimit)};
    return true;
}

void label(ImportView* view, int which, const QString& text) {
    if (view) {
        view->setLabel(which, text);
        view->refresh();
    }
}

} // namespace

QString decodeCountsLine(QByteArray bytes) {
    while (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

bool parseCountsLine(const QString& line, int lineNumber, CountsLine& out, QString& error) {
    const QStringList fields = line.split(QLatin1Char(','));
    if (fields.size() < kFieldCount) {
        error = QStringLiteral("Line %1 has %2 fields; a counts line has %3: the cell, the "
                               "description and nine counts.")
                    .arg(lineNumber)
                    .arg(fields.size())
                    .arg(kFieldCount);
        return false;
    }
    // Trailing empty fields are what a spreadsheet pads its lines with; anything else after
    // the ninth count means a comma out of place, in the description most likely.
    for (qsizetype i = kFieldCount; i < fields.size(); ++i) {
        if (!fields[i].trimmed().isEmpty()) {
            error = QStringLiteral("Line %1 has more than %2 fields (a comma in the "
                                   "description?).")
                        .arg(lineNumber)
                        .arg(kFieldCount);
            return false;
        }
    }
    CountsLine read;
    read.cell = GetCsvField(line, 1);
    read.description = GetCsvField(line, 2);
    for (int k = 0; k < kReportedCountsPerLine; ++k) {
        const QString text = GetCsvField(line, k + 3).trimmed();
        if (text.isEmpty())
            continue;
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (!ok || !std::isfinite(value)) {
            error = QStringLiteral("Line %1: count %2 (field %3) is not a number: \"%4\".")
                        .arg(QString::number(lineNumber), QString::number(k + 1),
                             QString::number(k + 3), text);
            return false;
        }
        read.counts[k] = value;
    }
    out = read;
    return true;
}

QString GetCsvField(const QString& line, int n) {
    if (n <= 0)
        return {};
    const QStringList fields = line.split(QLatin1Char(','));
    if (n >= fields.size())
        return fields.last().trimmed();
    return fields[n - 1];
}

CountsResult ImportReportedCounts(Session& session, const QString& path, ImportView* view) {
    CountsResult result;
    bool tableKeptSaid = false;
    if (!session.ui().ask(QuestionId::ReloadReportedCounts, kReloadCountsQuestion,
                          Icon::Exclamation)) {
        label(view, 1, QString());
        label(view, 2, QStringLiteral("Number of Records Imported: 0"));
        return result;
    }
    try {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw LineFailure{
                QStringLiteral("%1 could not be read: %2").arg(path, file.errorString())};
        Database& db = session.db();
        Transaction tx(db);
        db.exec("DELETE FROM tblReportedCounts");
        Statement insert = db.prepare("INSERT INTO tblReportedCounts (rptcell, Description, seq, "
                                      "reportedcount) VALUES (?1, ?2, ?3, ?4)");
        int lineNumber = 0;
        QByteArray bytes;
        while (readCountsLine(file, lineNumber + 1, bytes)) {
            if (++lineNumber == 1 && bytes.startsWith("\xEF\xBB\xBF"))
                bytes.remove(0, 3);
            const QString line = decodeCountsLine(bytes);
            if (line.trimmed().isEmpty())
                continue;
            label(view, 2, QStringLiteral("Record - %1").arg(result.lines + 1));
            CountsLine counts;
            QString why;
            if (!parseCountsLine(line, lineNumber, counts, why))
                throw LineFailure{why};
            for (int k = 0; k < kReportedCountsPerLine; ++k) {
                insert.bind(1, counts.cell);
                insert.bind(2, counts.description);
                insert.bind(3, k + 1);
                insert.bind(4, counts.counts[k]);
                insert.run();
                insert.rewind();
                ++result.rows;
            }
            ++result.lines;
        }
        if (file.error() != QFileDevice::NoError)
            throw LineFailure{
                QStringLiteral("%1 could not be read: %2").arg(path, file.errorString())};
        // Emptying the table is no import: a file without a line of counts is a wrong file.
        if (result.lines == 0)
            throw LineFailure{QStringLiteral("%1 holds no counts; the Reported Counts Table was "
                                             "left as it was.")
                                  .arg(QDir::toNativeSeparators(path)),
                              true};
        tx.commit();
        result.outcome = CountsOutcome::Imported;
    } catch (const LineFailure& f) {
        result.error = f.text;
        tableKeptSaid = f.saysTableKept;
    } catch (const DbError& e) {
        result.error = e.message();
    }
    if (result.outcome != CountsOutcome::Imported) {
        result.outcome = CountsOutcome::Failed;
        result.lines = result.rows = 0;
        label(view, 1, QStringLiteral("Import Failed!"));
        session.ui().message(tableKeptSaid ? result.error
                                           : result.error + QStringLiteral("\nThe Reported Counts "
                                                                           "Table was left as it "
                                                                           "was."),
                             Icon::Exclamation);
        return result;
    }
    label(view, 2, QStringLiteral("Done!"));
    return result;
}

} // namespace orv
