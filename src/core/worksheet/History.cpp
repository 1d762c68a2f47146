#include "worksheet/History.h"

#include "db/Database.h"
#include "db/Savepoint.h"
#include "worksheet/DataElements.h"
#include "worksheet/SampleList.h"
#include "worksheet/Worksheet.h"

#include <QDateTime>
#include <QSysInfo>

#include <pwd.h>
#include <unistd.h>

namespace orv {

namespace {

enum class ItemKind { Mark, Flag, Text };

ItemKind kindOf(const QString& column) {
    if (column.endsWith(QLatin1String("P/F"), Qt::CaseInsensitive))
        return ItemKind::Mark;
    for (ExceptionFlag f : kExceptionFlags)
        if (column.compare(QLatin1String(flagColumn(f)), Qt::CaseInsensitive) == 0)
            return ItemKind::Flag;
    return ItemKind::Text;
}

QVariant valueIn(const WorksheetValues& values, const QString& column) {
    const auto it = values.find(column);
    return it == values.end() ? QVariant() : it->second;
}

bool sameText(const QVariant& a, const QVariant& b) {
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a.toString() == b.toString();
}

} // namespace

const QStringList& worksheetColumns() {
    static const QStringList columns = [] {
        QStringList out;
        for (const DataElement& e : kDataElements)
            out << QString::fromLatin1(e.markColumn);
        for (ExceptionFlag f : kExceptionFlags)
            out << QString::fromLatin1(flagColumn(f));
        out << QStringLiteral("Comments");
        return out;
    }();
    return columns;
}

std::optional<WorksheetValues> readWorksheetValues(Database& db, qint64 sampleRow) {
    QStringList quoted;
    for (const QString& c : worksheetColumns())
        quoted << quotedColumn(c.toLatin1().constData());
    Statement st = db.prepare(QStringLiteral("SELECT %1 FROM tblsample WHERE rowid = ?")
                                  .arg(quoted.join(QStringLiteral(", ")))
                                  .toStdString());
    st.bind(1, static_cast<std::int64_t>(sampleRow));
    if (!st.step())
        return std::nullopt;
    WorksheetValues values;
    for (int i = 0; i < worksheetColumns().size(); ++i)
        values[worksheetColumns()[i]] = st.value(i);
    return values;
}

QVariant historyText(const QString& column, const QVariant& stored) {
    switch (kindOf(column)) {
    case ItemKind::Mark: {
        const Mark mark = markFromValue(stored);
        return mark == Mark::None ? QVariant() : QVariant(markLetter(mark));
    }
    case ItemKind::Flag:
        return !stored.isNull() && stored.toDouble() != 0 ? QStringLiteral("1")
                                                          : QStringLiteral("0");
    case ItemKind::Text:
        break;
    }
    // An empty comment is no comment, however it was stored.
    return stored.isNull() || stored.toString().isEmpty() ? QVariant()
                                                          : QVariant(stored.toString());
}

QString osUserName() {
    for (const char* name : {"USER", "LOGNAME", "USERNAME"}) {
        const QString user = qEnvironmentVariable(name);
        if (!user.isEmpty())
            return user;
    }
    if (const passwd* pw = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return {};
}

int appendWorksheetHistory(Database& db, const QString& source, const QVariant& obs,
                           const QVariant& ssn, const WorksheetValues& before,
                           const WorksheetValues& after) {
    Savepoint sp(db, "worksheet_history");
    const QString changedAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    const QString user = osUserName();
    const QString host = QSysInfo::machineHostName();
    Statement insert =
        db.prepare("INSERT INTO tblHistory (ChangedAt, OsUser, Host, Source, obs, ssn, Item, "
                   "OldValue, NewValue) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    int written = 0;
    for (const QString& column : worksheetColumns()) {
        const QVariant oldText = historyText(column, valueIn(before, column));
        const QVariant newText = historyText(column, valueIn(after, column));
        if (sameText(oldText, newText))
            continue;
        const QVariant values[] = {changedAt,
                                   user.isEmpty() ? QVariant() : QVariant(user),
                                   host.isEmpty() ? QVariant() : QVariant(host),
                                   source,
                                   obs,
                                   ssn,
                                   column,
                                   oldText,
                                   newText};
        for (int i = 0; i < 9; ++i)
            insert.bind(i + 1, values[i]);
        insert.run();
        insert.reset();
        ++written;
    }
    sp.release();
    return written;
}

std::vector<HistoryRow> readHistory(Database& db, std::optional<qint64> obs) {
    std::string sql = "SELECT ChangedAt, OsUser, Host, Source, obs, ssn, Item, OldValue, NewValue "
                      "FROM tblHistory";
    if (obs)
        sql += " WHERE obs = ?";
    sql += " ORDER BY rowid";
    Statement st = db.prepare(sql);
    if (obs)
        st.bind(1, static_cast<std::int64_t>(*obs));
    std::vector<HistoryRow> rows;
    while (st.step())
        rows.push_back({st.text(0), st.text(1), st.text(2), st.text(3), displayText(st.value(4)),
                        st.text(5), st.text(6), st.text(7), st.text(8)});
    return rows;
}

} // namespace orv
