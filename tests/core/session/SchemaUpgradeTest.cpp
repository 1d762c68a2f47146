#include "ScriptedFrontEnd.h"

#include "session/SchemaUpgrade.h"

#include <QFile>

using namespace orv;
using namespace orv::test;

namespace {

class SchemaUpgradeTest : public SessionTest {
protected:
    // A copy of the template as a program of schema `version` made it.
    QString databaseOfVersion(int version, bool readOnly) {
        const QString path = dir.file(QStringLiteral("v%1.mdb").arg(version));
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(templatePath(), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        {
            Database db(path);
            if (version < kSchemaVersion)
                db.exec("DROP TABLE tblHistory; DROP TABLE tblPackMerges;");
            db.exec(QStringLiteral("PRAGMA user_version = %1").arg(version).toStdString());
        }
        if (readOnly)
            QFile::setPermissions(path, QFile::ReadOwner);
        return path;
    }
};

// An older database gets the history tables in one go once the user agrees; anything else opens
// nothing and leaves the file as it was.
TEST_F(SchemaUpgradeTest, OpeningAnOlderDatabaseAsksToAddTheTables) {
    struct Case {
        const char* name;
        int version;
        bool readOnly, yes;
        bool asked;
        const char* refusal; // part of the reason the open failed; empty when it opened
    };
    const Case cases[] = {
        {"version 1, yes", 1, false, true, true, ""},
        {"made before versions, yes", 0, false, true, true, ""},
        {"version 1, no", 1, false, false, true, "they were not added"},
        {"version 1, read-only", 1, true, true, false, "the file is read-only"},
        {"newer than the program", 3, false, true, false, "made by a later version"},
        {"current", 2, false, false, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = databaseOfVersion(c.version, c.readOnly);
        ui.asked.clear();
        ui.answer(kUpgradeSchemaQuestion, c.yes);
        QString refusal;
        try {
            session->openDatabaseConnection(path);
        } catch (const DbError& e) {
            refusal = e.message();
        }
        EXPECT_EQ(ui.asked.contains(kUpgradeSchemaQuestion), c.asked);
        const bool opened = *c.refusal == '\0';
        EXPECT_TRUE(opened ? refusal.isEmpty() : refusal.contains(c.refusal))
            << refusal.toStdString();
        EXPECT_EQ(session->isOpen(), opened);
        session->closeConnection();

        Database db(path, Database::Mode::ReadOnly);
        EXPECT_EQ(db.scalar("PRAGMA user_version").toInt(), opened ? kSchemaVersion : c.version);
        EXPECT_EQ(db.tableExists("tblHistory"), opened || c.version > kSchemaVersion);
        EXPECT_EQ(db.tableExists("tblPackMerges"), opened || c.version > kSchemaVersion);
        if (opened) {
            EXPECT_EQ(db.scalar("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND "
                                "tbl_name = 'tblHistory'")
                          .toInt(),
                      2);
        }
    }
}

} // namespace
