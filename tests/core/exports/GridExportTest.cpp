#include "ZipMember.h"

#include "../worksheet/WorksheetFixture.h"

#include "db/Database.h"
#include "exports/GridExport.h"
#include "exports/MasterGridSources.h"
#include "exports/SampleListSource.h"
#include "validation/MasterPager.h"

#include <QDir>
#include <QRegularExpression>

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

// The widths of a sheet's columns, in order.
QList<double> columnWidths(const QByteArray& sheet) {
    QList<double> out;
    static const QRegularExpression col(QStringLiteral("<col [^>]*width=\"([0-9.]+)\""));
    for (auto m = col.globalMatch(QString::fromUtf8(sheet)); m.hasNext();)
        out << m.next().captured(1).toDouble();
    return out;
}

// "A" for the first column, "AA" for the 27th.
QString columnName(int column) {
    QString out(QChar(u'A' + column % 26));
    if (column >= 26)
        out.prepend(QChar(u'A' + column / 26 - 1));
    return out;
}

TEST_F(GridExport, XlsxHoldsEveryCellAsText) {
    VectorSource s = manyRows(1200);
    s.header = {"ssn", "name"};
    s.rows[0] = {"012345678", "Smith & <Sons>"};
    s.rows[1] = {"", QString::fromUtf8("Müller")};
    s.rows[2] = {"bell\x07", "tab\there"};
    s.rows[3] = {"=cmd| /C calc!A0", "@SUM(A1)"};
    // Sized from the first hundred rows only, and never wider than 60.
    s.rows[50][1] = QString(80, 'w');
    s.rows[500][0] = QString(200, 'w');
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
    const QList<double> widths = columnWidths(sheet);
    ASSERT_EQ(widths.size(), 2);
    EXPECT_GT(widths[0], 16); // "=cmd| /C calc!A0"
    EXPECT_LT(widths[0], 25);
    EXPECT_GT(widths[1], 59);
    EXPECT_LT(widths[1], 62);
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

// Every grid's workbook: named after the grid, its heading frozen and filtered, its columns
// sized, numbers as numbers and codes (obs, SSN, dates, marks) as text.
TEST_F(SampleGridExport, EachGridIsASpreadsheetOfItsOwn) {
    addSample(1, marksColumns("PF"));
    insertMaster(db(), {{"obs", 5},
                        {"SSN", "012345678"},
                        {"spopnum", 3},
                        {"pop", "1"},
                        {"BirthDate", 19600101},
                        {"Gender", "M"}, // not a number, though the column is one
                        {"Tenure", 2.5},
                        {"SamplingUnit", 7},
                        {"OfficeName", "007"},
                        {"fWIAexitdate", "2006-10-15"}});
    const RecordFilter period{{}, {}, {}, QDate(2006, 7, 1), QDate(2007, 6, 30)};
    auto records = [&](std::optional<int> group) {
        auto pager = std::make_unique<MasterPager>(db(), period, group);
        EXPECT_TRUE(pager->open());
        return std::make_unique<MasterPagerSource>(std::move(pager));
    };
    struct Cell {
        const char* heading; // the first column so headed
        const char* type;    // "n" a number, "inlineStr" a text
        const char* text;
    };
    const struct {
        const char* sheet;
        std::function<std::unique_ptr<GridRowSource>()> source;
        int row; // of the sheet, 1 the heading
        int rows;
        std::vector<Cell> cells;
    } cases[] = {
        {"Sample",
         [&] { return std::make_unique<SampleListSource>(db()); },
         2,
         1,
         {{"obs", "inlineStr", "1"},
          {"SamplingUnit", "n", "7"},
          {"Pass/Fail", "inlineStr", "P"},
          {"DislocDate", "inlineStr", "11"},
          {"Earn3QTRPriorToParticipation", "n", "22"}}},
        {"Outcome groups",
         [&] { return std::make_unique<OutcomeSummarySource>(db(), period); },
         4,
         25,
         {{"Performance Outcome Group", "n", "3"},
          {"Number in Group", "n", "1"},
          {"Emp Status at Registration", "inlineStr", "UnEmp"},
          {"EER Num", "n", "1"},
          {"Earn", "inlineStr", "No"}}},
        {"Records",
         [&] { return records(std::nullopt); },
         2,
         1,
         {{"obs", "inlineStr", "5"},
          {"SSN", "inlineStr", "012345678"},
          {"BirthDate", "inlineStr", "19600101"},
          {"Gender", "inlineStr", "M"},
          {"Tenure", "n", "2.5"},
          {"SamplingUnit", "n", "7"},
          {"OfficeName", "inlineStr", "007"}}},
        {"Records", [&] { return records(12); }, 1, 0, {{"obs", "inlineStr", "obs"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.sheet) + " row " + std::to_string(c.row));
        const std::unique_ptr<GridRowSource> source = c.source();
        const QStringList headings = source->columns();
        const QString path = dir.file("grid.xlsx");
        const GridExportResult r = exportGridXlsx(*source, path);
        ASSERT_EQ(r.outcome, GridExportOutcome::Written) << r.error.toStdString();
        EXPECT_EQ(r.rows, c.rows);
        const QByteArray zip = readFile(path);
        EXPECT_TRUE(zipMember(zip, "xl/workbook.xml")
                        .contains(QByteArray("<sheet name=\"") + c.sheet + '"'));
        const QByteArray sheet = zipMember(zip, "xl/worksheets/sheet1.xml");
        EXPECT_TRUE(QString::fromUtf8(sheet).contains(
            QRegularExpression(QStringLiteral("<pane [^>]*ySplit=\"1\""))));
        const QString last = columnName(static_cast<int>(headings.size()) - 1);
        EXPECT_TRUE(sheet.contains(
            QStringLiteral("<autoFilter ref=\"A1:%1%2\"/>").arg(last).arg(c.rows + 1).toUtf8()))
            << last.toStdString();
        EXPECT_EQ(columnWidths(sheet).size(), headings.size());
        QMap<QString, QString> types;
        const QMap<QString, QString> cells = sheetCells(sheet, &types);
        EXPECT_EQ(types.value("A1"), "inlineStr"); // the heading
        for (const Cell& cell : c.cells) {
            const int column = static_cast<int>(headings.indexOf(cell.heading));
            ASSERT_GE(column, 0) << cell.heading;
            const QString ref = columnName(column) + QString::number(c.row);
            EXPECT_EQ(types.value(ref), cell.type) << cell.heading;
            EXPECT_EQ(cells.value(ref), cell.text) << cell.heading;
        }
    }
}

// The browse grids' numbers are the schema's number columns, but obs and the dates.
TEST_F(SampleGridExport, RecordNumbersAreTheSchemasNumberColumns) {
    MasterPager pager(db(), {}, std::nullopt);
    ASSERT_TRUE(pager.open());
    const std::vector<CellKind> kinds = MasterPagerSource(pager).columnKinds();
    Statement st = db().prepare("SELECT name, type FROM pragma_table_info('tblORVmaster')");
    for (size_t c = 0; c < kinds.size() && st.step(); ++c) {
        const QString name = st.text(0);
        const bool number = QStringList{"INTEGER", "REAL", "NUMERIC"}.contains(st.text(1)) &&
                            name != "obs" && !name.endsWith("Date");
        EXPECT_EQ(kinds[c] == CellKind::Number, number) << name.toStdString();
    }
    EXPECT_EQ(kinds.size(), static_cast<size_t>(pager.columns().shown()));
}

} // namespace
