#include "ZipMember.h"

#include "../worksheet/WorksheetFixture.h"

#include "db/Database.h"
#include "exports/GridExport.h"
#include "exports/SampleListSource.h"

#include <QDir>

using namespace orv;
using namespace orv::test;

namespace {

class VectorSource : public GridRowSource {
public:
    QStringList header;
    std::vector<QStringList> rows;
    int failAt = -1; // the row at which reading fails, as a database error would

    QStringList columns() const override { return header; }
    qint64 rowCount() const override { return static_cast<qint64>(rows.size()); }
    void forEachRow(const std::function<bool(const QStringList&)>& visit) override {
        for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
            if (i == failAt)
                throw DbError(QStringLiteral("disk I/O error"));
            if (!visit(rows[i]))
                return;
        }
    }
};

// Presses Cancel the first time the export lets the window paint.
class CancellingFrontEnd : public ScriptedFrontEnd {
public:
    void processEvents() override {
        ScriptedFrontEnd::processEvents();
        cancel = true;
    }
    bool cancel = false;
};

VectorSource manyRows(int count) {
    VectorSource s;
    s.header = {"n", "square"};
    for (int i = 1; i <= count; ++i)
        s.rows.push_back({QString::number(i), QString::number(i * i)});
    return s;
}

using ExportFn = GridExportResult (*)(GridRowSource&, const QString&, const GridExportControl&);

struct Format {
    const char* name;
    ExportFn run;
};
const Format kFormats[] = {{"csv", exportGridCsv}, {"xlsx", exportGridXlsx}};

TEST(CsvField, QuotesOnlyWhatMustBe) {
    const struct {
        QString value;
        QByteArray field;
    } cases[] = {
        {"", ""},
        {"plain text", "plain text"},
        {" leading and trailing ", " leading and trailing "},
        {"O'Brien", "O'Brien"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\rhere", "\"cr\rhere\""},
        {QString::fromUtf8("Müller"), "M\xc3\xbcller"},
        // What a spreadsheet would run as a formula is made text; numbers stay numbers.
        {"=cmd| /C calc!A0", "'=cmd| /C calc!A0"},
        {"+1+2", "'+1+2"},
        {"-2+3", "'-2+3"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"},
        {"\r=1", "\"'\r=1\""},
        {"=a,b", "\"'=a,b\""},
        {"a=b", "a=b"},
        {"-12.5", "-12.5"},
        {"+7", "+7"},
        {"-", "'-"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(csvField(c.value), c.field) << c.value.toStdString();
}

class GridExport : public ::testing::Test {
protected:
    QString file(const QString& name) const { return dir.file(name); }
    // The folder holds exactly these names: no temporary file is left behind.
    QStringList entries() const {
        QStringList names =
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        names.removeIf([](const QString& n) { return n.endsWith(QLatin1String(".rpt")); });
        return names;
    }
    ProgramDir dir;
    ScriptedFrontEnd ui;
};

TEST_F(GridExport, CsvIsRfc4180) {
    VectorSource s;
    s.header = {"obs", "Name, full"};
    s.rows = {{"1", "O'Brien, Pat"}, {"2", "say \"hi\""}, {"3", "two\nlines"}, {"", "é"}};
    const GridExportResult r = exportGridCsv(s, file("grid.csv"), {&ui, nullptr});
    ASSERT_EQ(r.outcome, GridExportOutcome::Written) << r.error.toStdString();
    EXPECT_EQ(r.rows, 4);
    EXPECT_EQ(readFile(file("grid.csv")), QByteArray("obs,\"Name, full\"\r\n"
                                                     "1,\"O'Brien, Pat\"\r\n"
                                                     "2,\"say \"\"hi\"\"\"\r\n"
                                                     "3,\"two\nlines\"\r\n"
                                                     ",\xc3\xa9\r\n"));
}

TEST_F(GridExport, XlsxHoldsEveryCellAsText) {
    VectorSource s = manyRows(1200);
    s.header = {"ssn", "name"};
    s.rows[0] = {"012345678", "Smith & <Sons>"};
    s.rows[1] = {"", QString::fromUtf8("Müller")};
    s.rows[2] = {"bell\x07", "tab\there"};
    s.rows[3] = {"=cmd| /C calc!A0", "@SUM(A1)"};
    const GridExportResult r = exportGridXlsx(s, file("grid.xlsx"), {&ui, nullptr});
    ASSERT_EQ(r.outcome, GridExportOutcome::Written) << r.error.toStdString();
    EXPECT_EQ(r.rows, 1200);
    const QByteArray sheet = zipMember(readFile(file("grid.xlsx")), "xl/worksheets/sheet1.xml");
    ASSERT_FALSE(sheet.isEmpty());
    const QMap<QString, QString> cells = sheetCells(sheet);
    EXPECT_FALSE(cells.contains("error")) << cells.value("error").toStdString();
    // A control character is kept in the escaped form spreadsheets read back, not dropped;
    // formula-like text stays text in a workbook, with nothing added.
    QStringList shown;
    for (const char* at : {"A1", "B1", "A2", "B2", "B3", "A4", "B4", "A5", "B5", "A1201", "B1201"})
        shown << cells.value(at);
    EXPECT_EQ(shown, QStringList({"ssn", "name", "012345678", "Smith & <Sons>",
                                  QString::fromUtf8("Müller"), "bell_x0007_", "tab\there",
                                  "=cmd| /C calc!A0", "@SUM(A1)", "1200", "1440000"}));
    EXPECT_FALSE(cells.contains("A3"));
    EXPECT_FALSE(sheet.contains("<f>"));
    EXPECT_EQ(entries(), QStringList{"ORVTemplate.xmdb"} << "grid.xlsx");
}

// Whatever goes wrong, an earlier file of the same name stays as it was and nothing else is
// left in the folder.
TEST_F(GridExport, CancelAndFailureKeepTheEarlierFile) {
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.name);
        const QString path = file(QStringLiteral("grid.") + f.name);
        writeFile(path, "earlier");

        VectorSource s = manyRows(5000);
        CancellingFrontEnd cancelling;
        GridExportResult r = f.run(s, path, {&cancelling, &cancelling.cancel});
        EXPECT_EQ(r.outcome, GridExportOutcome::Cancelled);
        EXPECT_LT(r.rows, 5000);
        EXPECT_EQ(readFile(path), "earlier");
        EXPECT_TRUE(cancelling.work.isEmpty());
        EXPECT_FALSE(cancelling.busy);

        s.failAt = 700;
        r = f.run(s, path, {&ui, nullptr});
        EXPECT_EQ(r.outcome, GridExportOutcome::Failed);
        EXPECT_TRUE(r.error.contains("disk I/O error"));
        EXPECT_EQ(readFile(path), "earlier");

        s.failAt = -1;
        r = f.run(s, path, {&ui, nullptr});
        EXPECT_EQ(r.outcome, GridExportOutcome::Written);
        EXPECT_NE(readFile(path), "earlier");
        EXPECT_EQ(entries(), QStringList{"ORVTemplate.xmdb"} << QStringLiteral("grid.") + f.name);
        QFile::remove(path);
    }
}

TEST_F(GridExport, UnwritableTargetIsAFailure) {
    VectorSource s = manyRows(3);
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.name);
        const GridExportResult r = f.run(s, file("no such folder/grid.out"), {&ui, nullptr});
        EXPECT_EQ(r.outcome, GridExportOutcome::Failed);
        EXPECT_TRUE(r.error.contains("no such folder")) << r.error.toStdString();
    }
}

class SampleGridExport : public WorksheetTest {};

TEST_F(SampleGridExport, ListColumnsWithMarksAsLetters) {
    addSample(3, marksColumns("PF"));
    addSample(1, marksColumns("..F"));
    SampleListSource source(db());
    const QString path = dir.file("sample.csv");
    ASSERT_EQ(exportGridCsv(source, path).outcome, GridExportOutcome::Written);
    const QList<QByteArray> lines = readFile(path).split('\n');
    ASSERT_EQ(lines.size(), 4); // header, two rows, the empty rest after the last CRLF
    QStringList header;
    for (int c = 0; c < kListColumnCount; ++c)
        header << listColumnHeader(c);
    EXPECT_EQ(QString::fromUtf8(lines[0]), header.join(',') + '\r');
    // By OBS: 1 first. Values 10, 11, 12, ... as the fixture reports them; marks P, F or blank.
    const QStringList first = QString::fromUtf8(lines[1]).chopped(1).split(',');
    const QStringList second = QString::fromUtf8(lines[2]).chopped(1).split(',');
    ASSERT_EQ(first.size(), kListColumnCount);
    EXPECT_EQ(first.mid(0, 9), (QStringList{"1", "100000001", "7", "10", "", "11", "", "12", "F"}));
    EXPECT_EQ(second.mid(0, 9),
              (QStringList{"3", "100000003", "7", "10", "P", "11", "F", "12", ""}));
}

} // namespace
