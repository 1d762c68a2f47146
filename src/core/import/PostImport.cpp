#include "import/PostImport.h"

#include "db/Session.h"
#include "validation/BlockedFields.h"
#include "validation/OutcomeGroups.h"
#include "validation/Sample.h"
#include "validation/Savepoint.h"

#include <string>

namespace orv {

namespace {

void reportUnassigned(Database& db, ImportLog& log) {
    Statement st = db.prepare("SELECT obs, SSN FROM tblORVmaster WHERE spopnum = 0 ORDER BY rowid");
    while (st.step())
        log.add(QStringLiteral("OBS #") + st.text(0) + QStringLiteral(",ID #") + st.text(1) +
                QStringLiteral(" - (Unable to assign to a performance outcome group. Some "
                               "columns do not meet data requirements.)"));
}

void excludeDuplicates(Database& db, ImportLog& log) {
    const QVariant sum = db.scalar("SELECT sum(dupcnt) FROM tblRptValDupps");
    if (sum.isNull() || sum.toLongLong() == 0)
        return;
    const qint64 duplicates = sum.toLongLong();
    log.add(QString::number(duplicates) +
            QStringLiteral("  duplicates exist. Please see the duplicates report for detail."));
    // Every record of a duplicate pair loses its group, the first one too. IS rather than =
    // so that a pair with an empty part matches as the view counted it.
    db.exec("UPDATE tblORVmaster SET subpop = '', spopnum = 0 WHERE rowid IN ("
            "SELECT m.rowid FROM tblRptValDupps AS d JOIN tblORVmaster AS m "
            "ON m.SSN IS d.ssn AND m.WIAExitDate IS d.WIAExitDate)");
    log.errorCount += duplicates - 1;
}

struct WeightRule {
    int weight;
    const char* condition;
};

// In the order they apply: a later rule overrides an earlier one on the records both match;
// records no rule matches keep the weight the import gave them.
constexpr WeightRule kWeightRules[] = {
    {3, "(\"EmpQTR+1\" = 1 AND (Earn1QTRAfterExit = 0 OR Earn1QTRAfterExit IS NULL)) OR "
        "(\"EmpQTR+1\" = 1 AND \"EmpQTR+3\" = 1 AND "
        "(Earn3QTRAfterExit = 0 OR Earn3QTRAfterExit IS NULL))"},
    {2, "\"EmpQTR+1\" = 1 AND Earn1QTRAfterExit > 0 AND ((\"EmpQTR+3\" = 1 AND "
        "Earn3QTRAfterExit > 0) OR \"EmpQTR+3\" > 1 OR \"EmpQTR+3\" IS NULL)"},
    {1, "\"EmpQTR+1\" >= 2"},
};

// One pass that writes only the records whose weight changes.
void setWeights(Database& db) {
    std::string chosen = "(CASE";
    for (auto it = std::rbegin(kWeightRules); it != std::rend(kWeightRules); ++it)
        chosen += std::string(" WHEN ") + it->condition + " THEN " + std::to_string(it->weight);
    chosen += " END)";
    db.exec("UPDATE tblORVmaster SET Weight = " + chosen + " WHERE " + chosen +
            " IS NOT NULL AND Weight IS NOT " + chosen);
}

// Records without a sampling unit are drawn as one unit, 999999, and get their empty unit back.
// Only those records: a real unit 999999 keeps its number.
class UnitPlaceholder {
public:
    explicit UnitPlaceholder(Database& db) : mDb(db) {
        mDb.exec("CREATE TEMP TABLE IF NOT EXISTS orv_no_unit (rid INTEGER PRIMARY KEY)");
        mDb.exec("DELETE FROM temp.orv_no_unit");
        mDb.exec("INSERT INTO temp.orv_no_unit SELECT rowid FROM tblORVmaster "
                 "WHERE SamplingUnit IS NULL");
        mDb.exec("UPDATE tblORVmaster SET SamplingUnit = 999999 "
                 "WHERE rowid IN (SELECT rid FROM temp.orv_no_unit)");
    }
    void restore() {
        mDb.exec("UPDATE tblORVmaster SET SamplingUnit = NULL "
                 "WHERE rowid IN (SELECT rid FROM temp.orv_no_unit)");
        mDb.exec("DROP TABLE temp.orv_no_unit");
        mRestored = true;
    }
    ~UnitPlaceholder() {
        if (mRestored)
            return;
        try {
            restore();
        } catch (const DbError&) {
        }
    }
    UnitPlaceholder(const UnitPlaceholder&) = delete;
    UnitPlaceholder& operator=(const UnitPlaceholder&) = delete;

private:
    Database& mDb;
    bool mRestored = false;
};

void rebuildUnitRows(Database& db) {
    Savepoint sp(db, "orv_unit_rows");
    db.exec("DELETE FROM tblsupport WHERE sType = 'S'");
    db.exec("INSERT INTO tblsupport (SamplingUnit, CaseMgr, sType) "
            "SELECT DISTINCT SamplingUnit, CaseMgr, 'S' FROM tblORVmaster");
    sp.release();
}

QString notNull(const QString& s) {
    return s.isNull() ? QStringLiteral("") : s;
}

void resetRecordFilter(Session& session) {
    Database& db = session.db();
    Settings& settings = session.settings;
    db.execute("UPDATE tblsystem SET CaseMgr = ' ', WibName = ' ', OfficeName = ' ' "
               "WHERE CaseMgr = ?",
               {notNull(settings.caseMgr)});
    settings.caseMgr = QString();

    RecordFilter filter;
    Statement st = db.prepare("SELECT OfficeName, WibName, CaseMgr FROM tblsystem");
    if (st.step()) {
        filter.officeName = st.text(0);
        filter.wibName = st.text(1);
        filter.caseMgr = st.text(2);
    }
    filter.periodStart = settings.reportingPeriodStart;
    filter.periodEnd = settings.reportingPeriodEnd;
    session.recordFilter = filter;
    session.filterText = filter.text();
    session.ui().setStatus(5, QStringLiteral("Filter (OFF)"));
}

// The run's statements share one transaction and a larger page cache, so that the steps that
// each touch most of the master write it once, not once per step. It is committed whether or
// not a step fails: what the completed steps did stays, as if each had been committed alone.
class Batch {
public:
    explicit Batch(Database& db) : mDb(db) {
        mCacheSize = mDb.scalar("PRAGMA cache_size").toLongLong();
        mDb.exec("PRAGMA cache_size = -65536"); // KiB: room enough, and a desktop's memory spared
        mDb.exec("SAVEPOINT orv_post_import");
    }
    void commit() {
        mDb.exec("RELEASE orv_post_import");
        mOpen = false;
    }
    ~Batch() {
        if (mOpen) {
            try {
                commit();
            } catch (const DbError&) {
                // The engine already rolled the transaction back.
            }
        }
        try {
            mDb.exec("PRAGMA cache_size = " + std::to_string(mCacheSize));
        } catch (const DbError&) {
        }
    }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

private:
    Database& mDb;
    qint64 mCacheSize = 0;
    bool mOpen = true;
};

} // namespace

qint64 runPostImport(Session& session, ImportView& view, ImportLog& log, quint32 seed,
                     bool groupedAtLoad) {
    Database& db = session.db();
    Batch batch(db);

    view.setLabel(2, QStringLiteral("Working Please Wait."));
    view.refresh();
    if (!groupedAtLoad)
        AssignOutcomeGroups(session);
    view.setLabel(2, QString());
    view.refresh();

    // Duplicates are looked for only once every record has a group.
    if (db.scalar("SELECT count(*) FROM tblORVmaster WHERE spopnum = 0").toLongLong() != 0)
        reportUnassigned(db, log);
    else
        excludeDuplicates(db, log);

    session.ui().setBusy(true);
    const qint64 imported =
        db.scalar("SELECT count(*) FROM tblORVmaster WHERE spopnum <> 0").toLongLong();
    view.setLabel(2, QStringLiteral("Number of Records Imported: ") + QString::number(imported));
    view.setLabel(3, QStringLiteral("Building Sample."));
    view.refresh();

    setWeights(db);
    {
        UnitPlaceholder placeholder(db);
        BuildSample(session, seed);
        placeholder.restore();
    }
    ClearBlockedFields(session);
    rebuildUnitRows(db);

    db.execute("UPDATE tblsystem SET State = ?", {notNull(session.settings.state)});
    view.setLabel(3, QString());

    resetRecordFilter(session);

    batch.commit();
    view.setLabel(3, QString());
    view.setLabel(1, QStringLiteral("Import Complete."));
    return imported;
}

} // namespace orv
