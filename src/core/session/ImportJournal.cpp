#include "session/ImportJournal.h"

#include "rules/SignInRules.h"
#include "session/Session.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace orv {

namespace importJournal {

namespace {

void ensureTable(Database& db) {
    db.exec("CREATE TABLE IF NOT EXISTS tblImportRun (Extract TEXT, StartedAt TEXT NOT NULL, "
            "FinishedAt TEXT, Outcome TEXT, Indexes TEXT)");
}

QString now() {
    return generalDate(QDateTime::currentDateTime());
}

IndexList fromJson(const QString& text) {
    IndexList out;
    for (const QJsonValue& v : QJsonDocument::fromJson(text.toUtf8()).array()) {
        const QJsonObject o = v.toObject();
        out.emplace_back(o.value(QStringLiteral("name")).toString(),
                         o.value(QStringLiteral("sql")).toString());
    }
    return out;
}

// Only what the import itself dropped is built again: one plain index statement.
bool isIndexStatement(const QString& sql) {
    const QString s = sql.trimmed();
    return (s.startsWith(QLatin1String("CREATE INDEX "), Qt::CaseInsensitive) ||
            s.startsWith(QLatin1String("CREATE UNIQUE INDEX "), Qt::CaseInsensitive)) &&
           !s.contains(QLatin1Char(';'));
}

// Returns how many it built.
int restoreIndexes(Database& db, const IndexList& indexes) {
    int built = 0;
    for (const auto& [name, sql] : indexes) {
        if (!isIndexStatement(sql) ||
            db.scalar("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = ?1", {name})
                .isValid())
            continue;
        db.prepare(sql.toStdString()).run();
        ++built;
    }
    return built;
}

} // namespace

void begin(Database& db, const QString& extract) {
    Transaction tx(db);
    ensureTable(db);
    db.exec("DELETE FROM tblImportRun");
    db.execute("INSERT INTO tblImportRun (Extract, StartedAt) VALUES (?, ?)", {extract, now()});
    tx.commit();
}

void finish(Database& db, const QString& outcome) {
    ensureTable(db);
    db.execute("UPDATE tblImportRun SET FinishedAt = ?, Outcome = ? WHERE FinishedAt IS NULL",
               {now(), outcome});
}

std::optional<Unfinished> recover(Database& db) {
    if (!db.tableExists(QStringLiteral("tblImportRun")))
        return std::nullopt;
    Statement st = db.prepare(
        "SELECT Extract, StartedAt, Indexes FROM tblImportRun WHERE FinishedAt IS NULL LIMIT 1");
    if (!st.step())
        return std::nullopt;
    Unfinished run;
    run.extract = st.text(0);
    run.startedAt = st.text(1);
    const IndexList indexes = fromJson(st.text(2));
    st = Statement();

    Transaction tx(db);
    // Only an older build dropped indexes outside the import's transaction.
    run.partial = restoreIndexes(db, indexes) > 0;
    if (run.partial) {
        db.exec("UPDATE tblORVmaster SET subpop = '0', spopnum = 0, pop = '0' WHERE spopnum <> 0");
        run.records = db.scalar("SELECT count(*) FROM tblORVmaster").toLongLong();
    }
    finish(db, QStringLiteral("interrupted"));
    tx.commit();
    return run;
}

} // namespace importJournal

QString unfinishedImportText(const importJournal::Unfinished& run) {
    if (run.partial)
        return QStringLiteral("The last import did not finish (%1, started %2): %3 records were "
                              "loaded. Import the extract again.")
            .arg(QDir::toNativeSeparators(run.extract), run.startedAt)
            .arg(run.records);
    return QStringLiteral("The import of %1 started %2 did not finish; the database is as it was "
                          "before it.")
        .arg(QDir::toNativeSeparators(run.extract), run.startedAt);
}

void checkUnfinishedImport(Session& session) {
    if (!session.isOpen())
        return;
    // No other copy of the program can be importing: the session holds the database's lock.
    // A recovery that fails (a full disk) fails the open: the database is not fit to work on.
    if (const auto run = importJournal::recover(session.db()))
        session.ui().message(unfinishedImportText(*run), Icon::Exclamation);
}

} // namespace orv
