#include "import/PostImport.h"

#include "import/LoadSummary.h"
#include "rules/ImportErrors.h"

#include "db/Savepoint.h"
#include "session/Session.h"
#include "session/SignIn.h"
#include "validation/BlockedFields.h"
#include "validation/OutcomeGroups.h"
#include "validation/RuleFunctions.h"
#include "validation/Sample.h"

#include <string>

namespace orv {

namespace {

void reportUnassigned(Database& db, ImportLog& log) {
    Statement st = db.prepare("SELECT obs, SSN FROM tblORVmaster WHERE spopnum = 0 ORDER BY rowid");
    while (st.step())
        log.add(QStringLiteral("OBS #") + entryObs(st.text(0)) + QStringLiteral(",ID #") +
                st.text(1) +
                QStringLiteral(" - (Unable to assign to a performance outcome group. Some "
                               "columns do not meet data requirements.)"));
}

// `candidates`: the rows among which every duplicate is, when the import knows them.
void excludeDuplicates(Database& db, ImportLog& log, LoadSummary* loaded) {
    // The duplicates view, over the candidates only when there are some: a pair of equal keys
    // lies wholly among them, so the groups and their counts are the same.
    std::string duplicates = "tblRptValDupps";
    std::string master = "tblORVmaster";
    if (loaded) {
        const std::vector<qint64>& candidates = loaded->duplicateCandidates();
        if (candidates.empty())
            return;
        db.exec("CREATE TEMP TABLE IF NOT EXISTS orv_dup_candidate (rid INTEGER PRIMARY KEY)");
        db.exec("DELETE FROM temp.orv_dup_candidate");
        Statement ins = db.prepare("INSERT INTO temp.orv_dup_candidate (rid) VALUES (?)");
        for (qint64 rowid : candidates) {
            ins.bind(1, static_cast<std::int64_t>(rowid));
            ins.run();
            ins.reset();
        }
        master = "(SELECT rowid, * FROM tblORVmaster "
                 "WHERE rowid IN (SELECT rid FROM temp.orv_dup_candidate))";
        duplicates = "(SELECT SSN AS ssn, WIAExitDate, count(*) AS dupcnt FROM " + master +
                     " GROUP BY SSN, WIAExitDate HAVING count(*) > 1)";
    }
    const QVariant sum = db.scalar("SELECT sum(dupcnt) FROM " + duplicates);
    if (sum.isNull() || sum.toLongLong() == 0)
        return;
    const qint64 count = sum.toLongLong();
    log.add(QString::number(count) +
            QStringLiteral("  duplicates exist. Please see the duplicates report for detail."));
    // Every record of a duplicate pair loses its group, the first one too. IS rather than =
    // so that a pair with an empty part matches as the view counted it.
    const std::string rows = "SELECT m.rowid FROM " + duplicates + " AS d JOIN " + master +
                             " AS m ON m.SSN IS d.ssn AND m.WIAExitDate IS d.WIAExitDate";
    if (loaded) {
        Statement st = db.prepare(rows);
        while (st.step())
            loaded->ungroup(st.int64(0));
    }
    db.exec("UPDATE tblORVmaster SET subpop = '', spopnum = 0 WHERE rowid IN (" + rows + ")");
    db.exec("INSERT OR IGNORE INTO tblDuplicateRecords (rid) " + rows);
    if (loaded)
        db.exec("DROP TABLE temp.orv_dup_candidate");
    log.errorCount += count - 1;
}

// Writes the weights the rules gave the records as they loaded.
void setWeights(Database& db, LoadSummary& loaded) {
    Statement st = db.prepare("UPDATE tblORVmaster SET Weight = ?1 WHERE rowid = ?2");
    loaded.forEachReweighted([&](qint64 rowid, int weight) {
        st.bind(1, weight);
        st.bind(2, static_cast<std::int64_t>(rowid));
        st.run();
        st.reset();
    });
}

// One pass that writes only the records whose weight changes, by the rules of ruleWeight.
void setWeights(Database& db) {
    registerRuleFunctions(db);
    const std::string rule = "orv_rule_weight(\"EmpQTR+1\", Earn1QTRAfterExit, \"EmpQTR+3\", "
                             "Earn3QTRAfterExit)";
    db.exec("UPDATE tblORVmaster SET Weight = " + rule + " WHERE " + rule +
            " IS NOT NULL AND Weight IS NOT " + rule);
}

void rebuildUnitRows(Database& db, const LoadSummary* loaded) {
    Savepoint sp(db, "orv_unit_rows");
    db.exec("DELETE FROM tblsupport WHERE sType = 'S'");
    const auto known = loaded ? loaded->unitRows() : std::nullopt;
    if (known) {
        Statement st =
            db.prepare("INSERT INTO tblsupport (SamplingUnit, CaseMgr, sType) VALUES (?, ?, 'S')");
        for (const auto& [unit, caseMgr] : *known) {
            st.bind(1, unit);
            st.bind(2, caseMgr);
            st.run();
            st.reset();
        }
    } else {
        db.exec("INSERT INTO tblsupport (SamplingUnit, CaseMgr, sType) "
                "SELECT DISTINCT SamplingUnit, CaseMgr, 'S' FROM tblORVmaster");
    }
    sp.release();
}

QString notNull(const QString& s) {
    return s.isNull() ? QStringLiteral("") : s;
}

// The sign-in filters off in tblsystem. Only those stored with the case manager of this sign-in
// go, so the filter returned, read back, may still hold an office or WIB filter.
RecordFilter resetRecordFilter(Session& session) {
    session.db().execute("UPDATE tblsystem SET CaseMgr = ' ', WibName = ' ', OfficeName = ' ' "
                         "WHERE CaseMgr = ?",
                         {notNull(session.settings().caseMgr)});
    return storedRecordFilter(session);
}

// The steps that each touch most of the master write it once, not once per step, with a
// larger page cache while they run.
class LargerCache {
public:
    explicit LargerCache(Database& db) : mDb(db) {
        mCacheSize = mDb.scalar("PRAGMA cache_size").toLongLong();
        mDb.exec("PRAGMA cache_size = -65536"); // KiB: room enough, and a desktop's memory spared
    }
    ~LargerCache() {
        try {
            mDb.exec("PRAGMA cache_size = " + std::to_string(mCacheSize));
        } catch (const DbError&) {
        }
    }
    LargerCache(const LargerCache&) = delete;
    LargerCache& operator=(const LargerCache&) = delete;

private:
    Database& mDb;
    qint64 mCacheSize = 0;
};

} // namespace

qint64 runPostImport(Session& session, ImportView& view, ImportLog& log, quint32 seed,
                     bool groupedAtLoad, LoadSummary* loaded) {
    Database& db = session.db();
    const LargerCache cache(db);
    // All the steps or none: a run that stops half-way leaves the master as it was loaded.
    Savepoint all(db, "orv_post_import");

    view.setLabel(2, QStringLiteral("Working Please Wait."));
    view.refresh();
    if (!groupedAtLoad && !loaded)
        AssignOutcomeGroups(session);
    view.setLabel(2, QString());
    view.refresh();

    // Duplicates are looked for only once every record has a group.
    const qint64 ungrouped =
        loaded ? loaded->ungrouped()
               : db.scalar("SELECT count(*) FROM tblORVmaster WHERE spopnum = 0").toLongLong();
    if (ungrouped != 0)
        reportUnassigned(db, log);
    else
        excludeDuplicates(db, log, loaded);

    session.ui().setBusy(true);
    const qint64 imported =
        loaded ? loaded->grouped()
               : db.scalar("SELECT count(*) FROM tblORVmaster WHERE spopnum <> 0").toLongLong();
    view.setLabel(2, QStringLiteral("Number of Records Imported: ") + QString::number(imported));
    view.setLabel(3, QStringLiteral("Building Sample."));
    view.refresh();

    if (loaded) {
        setWeights(db, *loaded);
        const SamplePopulation population = loaded->takePopulation();
        BuildSample(session, seed, &population);
    } else {
        setWeights(db);
        BuildSample(session, seed);
    }
    ClearBlockedFields(session);
    rebuildUnitRows(db, loaded);

    db.execute("UPDATE tblsystem SET State = ?", {notNull(session.settings().state)});
    view.setLabel(3, QString());

    const RecordFilter filter = resetRecordFilter(session);
    all.release();

    // The session follows the database only once the steps are all done.
    Settings settings = session.settings();
    settings.caseMgr = QString();
    session.useSettings(settings);
    session.useRecordFilter(filter);
    view.setLabel(3, QString());
    view.setLabel(1, QStringLiteral("Import Complete."));
    return imported;
}

} // namespace orv
