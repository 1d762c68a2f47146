#include "session/SchemaUpgrade.h"

#include "session/SchemaHistorySql.h"

#include "db/Database.h"
#include "db/SafeFile.h"
#include "db/Transaction.h"
#include "program/FrontEnd.h"

namespace orv {

const char* schemaHistorySql() {
    return kSchemaHistorySql;
}

void upgradeSchema(Database& db, FrontEnd& ui) {
    const int version = db.scalar("PRAGMA user_version").toInt();
    if (version == kSchemaVersion)
        return;
    if (version > kSchemaVersion)
        throw DbError(QStringLiteral("This database was made by a later version of the program "
                                     "(schema version %1; this one knows up to %2). Open it with "
                                     "that version.")
                          .arg(version)
                          .arg(kSchemaVersion));
    // Asking would be pointless: the answer could not be carried out.
    if (files::isReadOnly(db.path()))
        throw DbError(QStringLiteral("This database was made by an earlier version of the "
                                     "program and needs the tables that keep the history of the "
                                     "worksheets, but the file is read-only. Make it writable "
                                     "and open it again."));
    if (!ui.ask(QuestionId::UpgradeSchema, kUpgradeSchemaQuestion, Icon::Question))
        throw DbError(QStringLiteral("The database was not opened: it lacks the tables that keep "
                                     "the history of the worksheets, and they were not added."));
    Transaction tx(db, Transaction::Kind::Immediate);
    db.exec(kSchemaHistorySql);
    db.exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion).toStdString());
    tx.commit();
}

} // namespace orv
