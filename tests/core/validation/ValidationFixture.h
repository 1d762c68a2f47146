#pragma once

#include "ScriptedFrontEnd.h"
#include "TestSupport.h"

#include "session/Session.h"

#include <gtest/gtest.h>

#include <QFile>

#include <algorithm>
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

// The row with each change made: a column it names (in any case) takes the new value, any other
// is added.
inline Columns changed(Columns row, const Columns& changes) {
    for (const auto& [name, value] : changes) {
        auto same = [&name](const auto& c) {
            return c.first.compare(name, Qt::CaseInsensitive) == 0;
        };
        if (auto it = std::find_if(row.begin(), row.end(), same); it != row.end())
            it->second = value;
        else
            row.push_back({name, value});
    }
    return row;
}

inline void insertMaster(Database& db, const Columns& values) {
    insertRow(db, QStringLiteral("tblORVmaster"), values);
}

// A validation database made from the template and opened in a session, as after sign-in with
// population type 1.
class ValidationTest : public SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        const QString path = dir.file("run.mdb");
        ASSERT_TRUE(QFile::copy(templatePath(), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        ASSERT_NO_THROW(session->openDatabaseConnection(path));
        Settings settings = session->settings();
        settings.popType = QStringLiteral("1");
        session->useSettings(settings);
    }

    Database& db() { return session->db(); }
    qint64 count(const char* sql, const QVariantList& params = {}) {
        return db().scalar(sql, params).toLongLong();
    }
    QVariant value(const char* sql, const QVariantList& params = {}) {
        return db().scalar(sql, params);
    }
};

} // namespace orv::test
