#include "../worksheet/WorksheetFixture.h"

#include "exports/SummaryXml.h"
#include "session/SignIn.h"
#include "worksheet/ErrorRates.h"

#include <QDir>
#include <QRegularExpression>
#include <QXmlStreamReader>

using namespace orv;
using namespace orv::test;

namespace {

TEST(StateCodeFromName, EveryNameOfTheTableAnyCase) {
    // clang-format off
    const std::pair<const char*, const char*> table[] = {
        {"ALABAMA", "AL"}, {"Alaska", "AK"}, {"ARIZONA", "AZ"},
        {"ARKANSAS", "AR"}, {"California", "CA"}, {"Colorado", "CO"},
        {"Connecticut", "CT"}, {"Delaware", "DE"}, {"District of Columbia", "DC"},
        {"FLORIDA", "FL"}, {"GEORGIA", "GA"}, {"Hawaii", "HI"},
        {"IDAHO", "ID"}, {"Illinois", "IL"}, {"Indiana", "IN"},
        {"IOWA", "IA"}, {"KANSAS", "KS"}, {"Kentucky", "KY"},
        {"LOUISIANA", "LA"}, {"MAINE", "ME"}, {"State of Maryland", "MD"},
        {"Maryland", "MD"}, {"Massachusetts", "MA"}, {"MICHIGAN", "MI"},
        {"MINNESOTA", "MN"}, {"MISSISSIPPI", "MS"}, {"MISSOURI", "MO"},
        {"Montana", "MT"}, {"Nebraska", "NE"}, {"Nevada", "NV"},
        {"New Hampshire", "NH"}, {"New Jersey", "NJ"}, {"New Mexico", "NM"},
        {"New YORK", "NY"}, {"NORTH CAROLINA", "NC"}, {"North Dakota", "ND"},
        {"Ohio", "OH"}, {"OKLAHOMA", "OK"}, {"OREGON", "OR"},
        {"PENNSYLVANIA", "PA"}, {"Rhode Island", "RI"}, {"SOUTH CAROLINA", "SC"},
        {"South Dakota", "SD"}, {"Tennessee", "TN"}, {"TEXAS", "TX"},
        {"Utah", "UT"}, {"VERMONT", "VT"}, {"Virginia", "VA"},
        {"WASHINGTON", "WA"}, {"West Virginia", "WV"}, {"WISCONSIN", "WI"},
        {"WYOMING", "WY"}, {"AMERICAN SAMOA", "AS"}, {"MICRONESIA", "FM"},
        {"GUAM", "GU"}, {"MARSHALL ISLANDS", "MH"}, {"NORTHERN MARIANAS", "CM"},
        {"PALAU", "PW"}, {"PUERTO RICO", "PR"}, {"VIRGIN ISLANDS", "VI"},
    };
    // clang-format on
    EXPECT_EQ(std::size(table), 60u);
    for (const auto& [name, code] : table) {
        const QString n = QString::fromLatin1(name);
        EXPECT_EQ(StateCodeFromName(n), code) << name;
        EXPECT_EQ(StateCodeFromName(n.toLower()), code) << name;
        EXPECT_EQ(StateCodeFromName(n.toUpper()), code) << name;
    }
}

TEST(StateCodeFromName, AnythingElsePassesUnchanged) {
    for (const char* text : {"AL", "al", "MD", "", "Nowhere", "Virginia ", "West  Virginia"})
        EXPECT_EQ(StateCodeFromName(QString::fromLatin1(text)), text) << text;
}

TEST(SummaryFileName, GeneralDateMadeAFileName) {
    EXPECT_EQ(summaryFileName(QDateTime(QDate(2008, 7, 15), QTime(15, 4, 5))),
              "7-15-2008_3_04_05_PM.xml");
    EXPECT_EQ(summaryFileName(QDateTime(QDate(2009, 12, 1), QTime(0, 30, 0))),
              "12-1-2009_12_30_00_AM.xml");
}

using Record = QVector<std::pair<QString, QString>>;

struct SummaryFile {
    QString root;
    QString reportKind;
    QVector<Record> records;
    QString error;
};

SummaryFile parse(const QByteArray& bytes) {
    SummaryFile f;
    QXmlStreamReader xml(bytes);
    if (xml.readNextStartElement()) {
        f.root = xml.name().toString();
        f.reportKind = xml.attributes().value(QLatin1String("ReportKind")).toString();
        while (xml.readNextStartElement()) {
            Record r;
            while (xml.readNextStartElement())
                r.push_back({xml.name().toString(), xml.readElementText()});
            f.records.push_back(r);
        }
        // Nothing may follow the root.
        while (!xml.atEnd() && !xml.hasError())
            if (xml.readNext() == QXmlStreamReader::StartElement)
                f.error = "an element after the root";
    }
    if (xml.hasError())
        f.error = xml.errorString();
    return f;
}

class SummaryXml : public WorksheetTest {
protected:
    void SetUp() override {
        WorksheetTest::SetUp();
        db().execute("UPDATE tblsystem SET FiscalYear = '2008', Period = '2006-07-01', "
                     "PeriodEnd = '2007-06-30', ReportingPeriodStart = '2006-07-01', "
                     "ReportingPeriodEnd = '2007-06-30', State = 'New York', PopType = '1'");
        setComments(QString::fromUtf8("O'Brien & <Sons>: checked.\nSecond line, café"));
        loadGlobals(*session, SignInMode::ReportOptions);
        path = dir.file("summary.xml");
    }
    void setComments(const QString& text) {
        db().execute("UPDATE tblValSummaryNotes SET Comments = ?1 WHERE ID = '1'", {text});
    }
    SummaryExportResult exportNow(const QString& to) {
        ComputeErrorRates(*session);
        return ExportSummaryXml(*session, to);
    }
    QString path;
};

TEST_F(SummaryXml, TwentyTaggedFieldsPerElementInOrder) {
    addSample(1, marksColumns("F", {{"Weight", 2}, {"chk", "Yes"}}));
    addSample(2, marksColumns("P", {{"Weight", 3}, {"WrongSSN", 1}}));
    // Unmarked: it weighs in the overall rate only, so the two rates differ.
    addSample(3, {{"Weight", 5}, {"chk", "Yes"}});
    const SummaryExportResult r = exportNow(path);
    ASSERT_TRUE(r.ok) << ui.lastMessage().toStdString();
    EXPECT_EQ(r.path, path);
    EXPECT_EQ(r.records, kElementCount);
    EXPECT_EQ(ui.shown.last().icon, Icon::Information);
    EXPECT_EQ(ui.lastMessage(), "Export has completed.\n" + path);

    const QByteArray bytes = readFile(path);
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    const SummaryFile f = parse(bytes);
    ASSERT_TRUE(f.error.isEmpty()) << f.error.toStdString();
    EXPECT_EQ(f.root, "SummaryAnalytical");
    EXPECT_EQ(f.reportKind, "2");
    ASSERT_EQ(f.records.size(), kElementCount);
    const QString comments = QString::fromUtf8("O'Brien & <Sons>: checked.\nSecond line, café");
    // One "tag=value" line a field, in the order of the file; tagsOnly drops the values.
    auto fields = [](const Record& rec, bool tagsOnly = false) {
        QStringList out;
        for (const auto& [tag, text] : rec)
            out << (tagsOnly ? tag : tag + QLatin1Char('=') + text);
        return out.join(QLatin1Char('\n')).toStdString();
    };
    const QStringList vet = {"StateCode=NY",
                             "ProgramDescription=ORV",
                             "ProgramYear=2008",
                             "SubmissionStartDate=07/01/2006",
                             "SubmissionEndDate=06/30/2007",
                             "SubmissionDueDate=2/1/2009",
                             "ReportDescription=Summary Analytical",
                             "ValidationType=DEV",
                             "Comments=" + comments,
                             "SampledCases=3",
                             "ValidatedCases=2",
                             "InvalidRecords=0",
                             "WrongSSN=1",
                             "DataElement=Vet",
                             "DataElementNumber=01",
                             "NumbertoValidate=",
                             "NumberOfErrors=1",
                             "OverAllErrorRate=20",
                             "ReportedErrorRate=40",
                             "Significance="};
    EXPECT_EQ(fields(f.records[0]), vet.join(QLatin1Char('\n')).toStdString());
    for (const Record& rec : f.records)
        EXPECT_EQ(fields(rec, true), fields(f.records[0], true));
    EXPECT_EQ(f.records[16][14].second, "17");
    EXPECT_EQ(f.records[16][17].second, "0"); // nobody failed it
}

TEST_F(SummaryXml, DefaultNameInTheProgramFolder) {
    addSample(1);
    const SummaryExportResult r = exportNow(QString());
    ASSERT_TRUE(r.ok) << ui.lastMessage().toStdString();
    EXPECT_EQ(QFileInfo(r.path).absolutePath(), QDir(dir.path()).absolutePath());
    EXPECT_TRUE(
        QRegularExpression("^\\d{1,2}-\\d{1,2}-\\d{4}_\\d{1,2}_\\d\\d_\\d\\d_(AM|PM)\\.xml$")
            .match(QFileInfo(r.path).fileName())
            .hasMatch())
        << r.path.toStdString();
    EXPECT_TRUE(QFileInfo::exists(r.path));
}

// A file of no records would pass for a submission: none is made, an earlier one stays.
TEST_F(SummaryXml, EmptySampleIsNotExported) {
    writeFile(path, "earlier");
    const SummaryExportResult r = exportNow(path);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(ui.lastMessage(), "There is no sample to export.");
    EXPECT_EQ(ui.shown.last().icon, Icon::Exclamation);
    EXPECT_EQ(readFile(path), "earlier");
}

// What XML cannot hold is named, and no file is made (nor an earlier one spoilt).
TEST_F(SummaryXml, CharacterXmlCannotHoldIsNamed) {
    addSample(1);
    writeFile(path, "earlier");
    setComments(QStringLiteral("bell\x07here"));
    SummaryExportResult r = exportNow(path);
    EXPECT_FALSE(r.ok);
    ASSERT_FALSE(ui.shown.isEmpty());
    EXPECT_EQ(ui.shown.last().icon, Icon::Exclamation);
    const QString shown = ui.lastMessage();
    EXPECT_TRUE(shown.contains("Record 1 (data element Vet)")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("Comments")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("U+0007")) << shown.toStdString();
    EXPECT_EQ(readFile(path), "earlier");

    // Tabs, line ends and characters beyond the basic plane are fine.
    setComments(QString::fromUtf8("tab\there\r\nemoji \xF0\x9F\x98\x80"));
    r = exportNow(path);
    ASSERT_TRUE(r.ok) << ui.lastMessage().toStdString();
    const SummaryFile f = parse(readFile(path));
    ASSERT_TRUE(f.error.isEmpty());
    EXPECT_TRUE(f.records[0][8].second.startsWith("tab\there"));
    EXPECT_TRUE(f.records[0][8].second.endsWith(QString::fromUtf8("emoji \xF0\x9F\x98\x80")));
}

TEST_F(SummaryXml, FiscalYearMustBeANumber) {
    addSample(1);
    Settings settings = session->settings();
    settings.fiscalYear = "FY08";
    session->useSettings(settings);
    EXPECT_FALSE(exportNow(path).ok);
    EXPECT_TRUE(ui.lastMessage().contains("FY08"));
    EXPECT_FALSE(QFileInfo::exists(path));
}

} // namespace
