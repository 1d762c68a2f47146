#include "reports/ReportSources.h"

#include "db/Database.h"
#include "rules/FieldChecks.h"
#include "rules/RecordLayout.h"
#include "validation/ReportValidation.h"
#include "worksheet/DataElements.h"
#include "worksheet/Worksheet.h"

#include "worksheet/ErrorRates.h"

#include <QLocale>
#include <QStringList>

namespace orv {

namespace {

QString markWords(const QString& column) {
    return QStringLiteral("CASE %1 WHEN 0 THEN 'Pass' WHEN 1 THEN 'Fail' ELSE '' END").arg(column);
}

QString flagWords(const QString& column) {
    return QStringLiteral("CASE WHEN coalesce(%1, 0) <> 0 THEN 'Yes' ELSE 'No' END").arg(column);
}

void createValidViews(Database& db) {
    QStringList columns{QStringLiteral("s.rowid AS SampleRow"), QStringLiteral("s.*")};
    for (const DataElement& e : kDataElements)
        columns << markWords(quotedColumn(e.markColumn)) + QStringLiteral(" AS ") +
                       QStringLiteral("\"%1Mark\"").arg(QLatin1String(e.valueColumn));
    for (ExceptionFlag f : kExceptionFlags) {
        const QString name = QString::fromLatin1(flagColumn(f));
        columns << flagWords(QStringLiteral("s.") + name) + QStringLiteral(" AS ") + name +
                       QStringLiteral("Text");
    }
    columns << QStringLiteral("CASE WHEN s.chk = 'Yes' THEN 'Yes' ELSE 'No' END AS Completed");
    // The record's latest history row, as a line: "Last change: 2026-12-08 10:15 UTC by jdoe on
    // host1 (screen)". A file without the history (a pack, say) has no last change.
    if (db.tableExists(QStringLiteral("tblHistory")))
        columns << QStringLiteral(
            "(SELECT 'Last change: ' || substr(h.ChangedAt, 1, 10) || ' ' || "
            "substr(h.ChangedAt, 12, 5) || ' UTC' || coalesce(' by ' || h.OsUser, '') || "
            "coalesce(' on ' || h.Host, '') || ' (' || h.Source || ')' FROM main.tblHistory AS h "
            "WHERE h.obs = s.obs AND h.ssn = s.ssn ORDER BY h.rowid DESC LIMIT 1) AS LastChange");
    else
        columns << QStringLiteral("NULL AS LastChange");
    db.exec(("CREATE TEMP VIEW sqRptORVValid AS SELECT " + columns.join(QStringLiteral(", ")) +
             QStringLiteral(" FROM tblsample AS s"))
                .toStdString());

    QStringList branches;
    int seq = 0;
    for (const DataElement& e : kDataElements) {
        QString label = QString::fromLatin1(e.worksheetName);
        label.replace(QLatin1Char('\''), QLatin1String("''"));
        branches << QStringLiteral(
                        "SELECT rowid AS SampleRow, obs AS OBS, %1 AS seq, '%2' AS element, "
                        "%3 AS value, %4 AS mark FROM tblsample")
                        .arg(++seq)
                        .arg(label, quotedColumn(e.valueColumn),
                             markWords(quotedColumn(e.markColumn)));
    }
    db.exec(("CREATE TEMP VIEW sqRptORVValidElements AS " +
             branches.join(QStringLiteral(" UNION ALL ")))
                .toStdString());
}

void fillRecordLayout(Database& db) {
    db.exec("CREATE TEMP TABLE rptRecordLayout (pos INTEGER, name TEXT, field TEXT, kind TEXT, "
            "required TEXT, allowed TEXT, checked TEXT)");
    Statement ins = db.prepare("INSERT INTO temp.rptRecordLayout VALUES (?, ?, ?, ?, ?, ?, ?)");
    for (const ExtractColumn& c : kExtractLayout) {
        const ColumnRuleText rules = describeColumnRules(c.pos);
        const bool checked = c.pos <= kCheckedColumns;
        QString kind = c.kind == ColumnKind::Text ? QStringLiteral("Text")
                       : c.real                   ? QStringLiteral("Number (decimals)")
                                                  : QStringLiteral("Number");
        ins.bind(1, c.pos);
        ins.bind(2, QString::fromLatin1(c.master.data(), qsizetype(c.master.size())));
        ins.bind(3, QString::fromLatin1(c.field.data(), qsizetype(c.field.size())));
        ins.bind(4, kind);
        ins.bind(5, rules.required ? QStringLiteral("No") : QStringLiteral("Yes"));
        ins.bind(6, rules.allowed);
        ins.bind(7, checked ? QStringLiteral("Yes") : QStringLiteral("No"));
        ins.run();
        ins.reset();
    }
}

void fillCountsLayout(Database& db) {
    db.exec("CREATE TEMP TABLE rptCountsLayout (field INTEGER, content TEXT, stored TEXT)");
    Statement ins = db.prepare("INSERT INTO temp.rptCountsLayout VALUES (?, ?, ?)");
    auto add = [&](int field, const QString& content, const QString& stored) {
        ins.bind(1, field);
        ins.bind(2, content);
        ins.bind(3, stored);
        ins.run();
        ins.reset();
    };
    add(1, QStringLiteral("Report cell identifier"), QStringLiteral("rptcell (text)"));
    add(2, QStringLiteral("Description of the cell"), QStringLiteral("Description (text)"));
    for (const Measure& m : kMeasures)
        add(m.seq + 2, QStringLiteral("Count %1: %2").arg(m.seq).arg(QLatin1String(m.description)),
            QStringLiteral("reportedcount of seq %1 (a number; empty stores 0)").arg(m.seq));
}

// A number as the reports print it: thousands grouped, `decimals` places ("" for Null).
void formatNumber(FunctionCall& call, int decimals) {
    const QVariant value = call.value(0);
    if (call.count() > 1)
        decimals = call.integer(1);
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (value.isNull() || !ok) {
        call.setResult(value.isNull() ? QString() : value.toString());
        return;
    }
    call.setResult(QLocale(QLocale::English, QLocale::UnitedStates).toString(d, 'f', decimals));
}

// Functions the definitions format their figures with, the way the screens show them:
// rate_text(x) "12.35" or "n/a", number_text(x [, decimals]) "1,234", money_text(x) "1,234.50",
// unit_text(x) a sampling unit.
void registerFunctions(Database& db) {
    db.defineFunction("rate_text", 1,
                      [](FunctionCall& call) { call.setResult(rateText(call.value(0))); });
    for (int argc : {1, 2})
        db.defineFunction("number_text", argc, [](FunctionCall& call) { formatNumber(call, 0); });
    // The certainty unit's code stands for "no unit": the worksheet screen shows it empty.
    db.defineFunction("unit_text", 1, [](FunctionCall& call) {
        const QVariant unit = call.value(0);
        const QString text = unit.isNull() ? QString() : unit.toString();
        call.setResult(text == QLatin1String("999999") ? QString() : text);
    });
    db.defineFunction("money_text", 1, [](FunctionCall& call) { formatNumber(call, 2); });
}

} // namespace

// Once per connection: a report still being read (an open viewer) may be using them, and
// neither a view nor a function can be replaced under a running statement.
void prepareReportSources(Database& db) {
    if (db.scalar("SELECT count(*) FROM sqlite_temp_master WHERE name = 'rptCountsLayout'")
            .toInt() > 0)
        return;
    registerFunctions(db);
    // A database imported before the import kept its duplicates finds them the slow way.
    if (db.scalar("SELECT count(*) FROM main.sqlite_master WHERE name = 'tblDuplicateRecords'")
            .toInt() == 0)
        db.exec("CREATE TEMP TABLE tblDuplicateRecords AS SELECT m.rowid AS rid "
                "FROM tblORVmaster AS m CROSS JOIN tblRptValDupps AS d "
                "ON m.SSN IS d.ssn AND m.WIAExitDate IS d.WIAExitDate");
    createValidViews(db);
    fillRecordLayout(db);
    fillCountsLayout(db);
}

} // namespace orv
