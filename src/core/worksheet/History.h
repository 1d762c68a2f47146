#pragma once
#include <QString>
#include <QStringList>
#include <QVariant>
#include <map>
namespace orv {
class Database;
using WorksheetValues = std::map<QString, QVariant>;
int appendWorksheetHistory(Database& db, const QString& source, const QVariant& obs,
                           const QVariant& ssn, const WorksheetValues& before,
                           const WorksheetValues& after);
} // namespace orv
