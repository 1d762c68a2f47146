#include "exports/SummaryXml.h"

#include "db/Database.h"
#include "db/SafeFile.h"
#include "rules/SignInRules.h"
#include "session/Session.h"
#include "session/SignIn.h"
#include "worksheet/DataElements.h"

#include <QFileInfo>
#include <QStringList>
#include <QXmlStreamWriter>

namespace orv {

const char* const kSummaryFields[kSummaryFieldCount] = {
    "StateCode",         "ProgramDescription", "ProgramYear",       "SubmissionStartDate",
    "SubmissionEndDate", "SubmissionDueDate",  "ReportDescription", "ValidationType",
    "Comments",          "SampledCases",       "ValidatedCases",    "InvalidRecords",
    "WrongSSN",          "DataElement",        "DataElementNumber", "NumbertoValidate",
    "NumberOfErrors",    "OverAllErrorRate",   "ReportedErrorRate", "Significance"};

namespace {

struct StateName {
    const char* name;
    const char* code;
};

// Searched in this order; the first name equal in upper case wins.
constexpr StateName kStateNames[] = {
    {"ALABAMA", "AL"},
    {"Alaska", "AK"},
    {"ARIZONA", "AZ"},
    {"ARKANSAS", "AR"},
    {"California", "CA"},
    {"Colorado", "CO"},
    {"Connecticut", "CT"},
    {"Delaware", "DE"},
    {"District of Columbia", "DC"},
    {"FLORIDA", "FL"},
    {"GEORGIA", "GA"},
    {"Hawaii", "HI"},
    {"IDAHO", "ID"},
    {"Illinois", "IL"},
    {"Indiana", "IN"},
    {"IOWA", "IA"},
    {"KANSAS", "KS"},
    {"Kentucky", "KY"},
    {"LOUISIANA", "LA"},
    {"MAINE", "ME"},
    {"State of Maryland", "MD"},
    {"Maryland", "MD"},
    {"Massachusetts", "MA"},
    {"MICHIGAN", "MI"},
    {"MINNESOTA", "MN"},
    {"MISSISSIPPI", "MS"},
    {"MISSOURI", "MO"},
    {"Montana", "MT"},
    {"Nebraska", "NE"},
    {"Nevada", "NV"},
    {"New Hampshire", "NH"},
    {"New Jersey", "NJ"},
    {"New Mexico", "NM"},
    {"New YORK", "NY"},
    {"NORTH CAROLINA", "NC"},
    {"North Dakota", "ND"},
    {"Ohio", "OH"},
    {"OKLAHOMA", "OK"},
    {"OREGON", "OR"},
    {"PENNSYLVANIA", "PA"},
    {"Rhode Island", "RI"},
    {"SOUTH CAROLINA", "SC"},
    {"South Dakota", "SD"},
    {"Tennessee", "TN"},
    {"TEXAS", "TX"},
    {"Utah", "UT"},
    {"VERMONT", "VT"},
    {"Virginia", "VA"},
    {"WASHINGTON", "WA"},
    {"West Virginia", "WV"},
    {"WISCONSIN", "WI"},
    {"WYOMING", "WY"},
    {"AMERICAN SAMOA", "AS"},
    {"MICRONESIA", "FM"},
    {"GUAM", "GU"},
    {"MARSHALL ISLANDS", "MH"},
    {"NORTHERN MARIANAS", "CM"},
    {"PALAU", "PW"},
    {"PUERTO RICO", "PR"},
    {"VIRGIN ISLANDS", "VI"},
};

const QString kExporting = QStringLiteral("Exporting Summary/Analytical...");

// The position of the first character an XML document cannot hold, or -1.
qsizetype firstNonXmlChar(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            continue;
        }
        const bool ok = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                        (c >= 0xE000 && c <= 0xFFFD);
        if (!ok)
            return i;
    }
    return -1;
}

// A stored ISO date as the screens show it; anything else as it is.
QString dateText(const QString& stored) {
    const QDate date = QDate::fromString(stored, Qt::ISODate);
    return date.isValid() ? shortDate(date) : stored;
}

struct Failure {
    QString text;
};

} // namespace

QString StateCodeFromName(const QString& name) {
    const QString upper = name.toUpper();
    for (const StateName& s : kStateNames) {
        if (upper == QLatin1String(s.name).toString().toUpper())
            return QString::fromLatin1(s.code);
    }
    return name;
}

QString summaryFileName(const QDateTime& when) {
    QString name = generalDate(when);
    name.replace(QLatin1Char(' '), QLatin1Char('_'));
    name.replace(QLatin1Char(':'), QLatin1Char('_'));
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    return name + QStringLiteral(".xml");
}

namespace {

// The records of the file: the element rows of tbltemp with the settings and the comments.
std::vector<QStringList> readSummaryRecords(Session& session) {
    const Settings& s = session.settings();
    bool numeric = false;
    const int year = s.fiscalYear.trimmed().toInt(&numeric);
    if (!numeric)
        throw Failure{QStringLiteral("The fiscal year \"%1\" is not a number: sign in with the "
                                     "fiscal year first.")
                          .arg(s.fiscalYear)};
    const QStringList fixed = {StateCodeFromName(s.state), QStringLiteral("ORV"),
                               QStringLiteral("2/1/%1").arg(year + 1),
                               QStringLiteral("Summary Analytical"), QStringLiteral("DEV")};
    Statement st = session.db().prepare(
        "SELECT s.FiscalYear, s.ReportingPeriodStart, s.ReportingPeriodEnd, n.Comments, t.cfield, "
        "t.allchecked, t.InvalidRec, t.WrongSSN, t.rptcell, t.Ref, t.pct, t.cval, t.cweight "
        "FROM tbltemp AS t, tblsystem AS s, tblValSummaryNotes AS n "
        "WHERE s.PopType = ?1 AND s.PopType = n.ID ORDER BY t.seq, t.rowid");
    st.bind(1, QStringLiteral("1"));
    std::vector<QStringList> records;
    while (st.step()) {
        auto text = [&st](int c) { return displayText(st.value(c)); };
        records.push_back({fixed[0],
                           fixed[1],
                           text(0),
                           dateText(st.text(1)),
                           dateText(st.text(2)),
                           fixed[2],
                           fixed[3],
                           fixed[4],
                           text(3),
                           text(4),
                           text(5),
                           text(6),
                           text(7),
                           text(8),
                           text(9),
                           QString(),
                           text(10),
                           text(11),
                           text(12),
                           QString()});
    }
    return records;
}

void checkXmlChars(const std::vector<QStringList>& records) {
    for (size_t r = 0; r < records.size(); ++r) {
        for (int f = 0; f < kSummaryFieldCount; ++f) {
            const qsizetype at = firstNonXmlChar(records[r][f]);
            if (at < 0)
                continue;
            // One arg() call: a value's own "%1" must not be taken for a place holder.
            const QString code =
                QStringLiteral("%1").arg(records[r][f][at].unicode(), 4, 16, QLatin1Char('0'));
            throw Failure{QStringLiteral("Record %1 (data element %2): %3 holds a character that "
                                         "an XML file cannot hold (U+%4, at position %5). Remove "
                                         "it and export again.")
                              .arg(QString::number(r + 1), records[r][13],
                                   QLatin1String(kSummaryFields[f]), code.toUpper(),
                                   QString::number(at + 1))};
        }
    }
}

void writeSummaryFile(const QString& path, const std::vector<QStringList>& records) {
    files::AtomicFile file(path);
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("SummaryAnalytical"));
    xml.writeAttribute(QStringLiteral("ReportKind"), QStringLiteral("2"));
    for (const QStringList& record : records) {
        xml.writeStartElement(QStringLiteral("Record"));
        for (int f = 0; f < kSummaryFieldCount; ++f)
            xml.writeTextElement(QLatin1String(kSummaryFields[f]), record[f]);
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    file.commit();
}

} // namespace

SummaryExportResult ExportSummaryXml(Session& session, const QString& path) {
    SummaryExportResult result;
    result.path = path.isEmpty()
                      ? session.programFile(summaryFileName(QDateTime::currentDateTime()))
                      : QFileInfo(path).absoluteFilePath();
    FrontEnd& ui = session.ui();
    ui.setBusy(true);
    ui.workStatus(kExporting);
    QString failure;
    try {
        // An empty file would pass for a submission of nothing.
        if (session.db().scalar("SELECT count(*) FROM tblsample").toLongLong() == 0) {
            failure = QStringLiteral("There is no sample to export.");
        } else {
            const std::vector<QStringList> records = readSummaryRecords(session);
            checkXmlChars(records);
            try {
                writeSummaryFile(result.path, records);
                result.records = static_cast<int>(records.size());
                result.ok = true;
            } catch (const DbError& e) {
                // Its text says already that the file was not written.
                failure = e.message();
            }
        }
    } catch (const Failure& f) {
        failure = f.text + QStringLiteral("\nThe summary/analytical file was not written.");
    } catch (const DbError& e) {
        failure = e.message() + QStringLiteral("\nThe summary/analytical file was not written.");
    }
    ui.workStatus(QString());
    ui.setBusy(false);
    if (!result.ok) {
        ui.message(failure, Icon::Exclamation);
        return result;
    }
    ui.message(QStringLiteral("Export has completed.\n%1").arg(result.path), Icon::Information);
    return result;
}

} // namespace orv
