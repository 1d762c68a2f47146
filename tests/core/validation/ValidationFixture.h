#pragma once

#include "ScriptedFrontEnd.h"
#include "TestSupport.h"

#include "session/Session.h"

#include <gtest/gtest.h>

#include <QFile>

#include <memory>
#include <utility>
#include <vector>

namespace orv::test {

using Columns = std::vector<std::pair<QString, QVariant>>;

// Inserts one row into `table` with the named columns only.
inline void insertRow(Database& db, const QString& table, const Columns& values) {
    QStringList names, marks;
    QVariantList params;
    for (const auto& [name, value] : values) {
        names << QLatin1Char('"') + name + QLatin1Char('"');
        marks << QStringLiteral("?");
        params << value;
    }
    db.execute(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                   .arg(table, names.join(QLatin1String(", ")), marks.join(QLatin1String(", ")))
                   .toStdString(),
               params);
}

inline void insertMaster(Database& db, const Columns& values) {
    insertRow(db, QStringLiteral("tblORVmaster"), values);
}

// A validation database made from the template and opened in a session, as after sign-in with
// population type 1.
class ValidationTest : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("ODBCINI", dir.file("odbc.ini").toLocal8Bit());
        session = std::make_unique<Session>(dir.path(), &ui);
        const QString path = dir.file("run.mdb");
        ASSERT_TRUE(QFile::copy(templatePath(), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        ASSERT_NO_THROW(session->openDatabaseConnection(path));
        Settings settings = session->settings();
        settings.popType = QStringLiteral("1");
        session->useSettings(settings);
    }
    void TearDown() override {
        session.reset();
        qunsetenv("ODBCINI");
    }

    Database& db() { return session->db(); }
    qint64 count(const char* sql, const QVariantList& params = {}) {
        return db().scalar(sql, params).toLongLong();
    }
    QVariant value(const char* sql, const QVariantList& params = {}) {
        return db().scalar(sql, params);
    }

    ProgramDir dir;
    ScriptedFrontEnd ui;
    std::unique_ptr<Session> session;
};

} // namespace orv::test
