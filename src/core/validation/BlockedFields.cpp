#include "validation/BlockedFields.h"

#include "session/Session.h"

#include <QRegularExpression>

namespace orv {

std::optional<QVariant> parseBlockedValue(const QString& written) {
    const QString v = written.trimmed();
    if (v.size() >= 2 && v.startsWith(u'\'') && v.endsWith(u'\'')) {
        const QString inner = v.mid(1, v.size() - 2);
        // A lone quote inside would have ended the literal: the row is not a plain value.
        if (QString(inner).replace(QLatin1String("''"), QString()).contains(u'\''))
            return std::nullopt;
        return QVariant(QString(inner).replace(QLatin1String("''"), QLatin1String("'")));
    }
    static const QRegularExpression whole(QStringLiteral("^[+-]?[0-9]+$"));
    static const QRegularExpression decimal(QStringLiteral("^[+-]?([0-9]+\\.[0-9]*|\\.[0-9]+)$"));
    if (whole.match(v).hasMatch()) {
        bool ok = false;
        const qlonglong n = v.toLongLong(&ok);
        if (ok)
            return QVariant(n);
        return QVariant(v.toDouble());
    }
    if (decimal.match(v).hasMatch())
        return QVariant(v.toDouble());
    return std::nullopt;
}

int ClearBlockedFields(Session& session) {
    Database& db = session.db();

    QStringList columns;
    {
        Statement st = db.prepare("PRAGMA table_info(tblsample)");
        while (st.step())
            columns << st.text(1);
    }

    struct Row {
        QString column;
        QString value;
        bool valueIsNull;
    };
    QVector<Row> rows;
    {
        Statement st =
            db.prepare("SELECT ColumnName, BlockedValue FROM tblBlockedFields ORDER BY ColumnName");
        while (st.step())
            rows.push_back({st.text(0), st.text(1), st.isNull(1)});
    }

    int applied = 0;
    for (const Row& row : rows) {
        QString column;
        for (const QString& c : columns)
            if (c.compare(row.column, Qt::CaseInsensitive) == 0)
                column = c;
        if (column.isEmpty())
            throw DbError(QStringLiteral("no such column: ") + row.column);
        if (row.valueIsNull)
            continue;
        const std::optional<QVariant> value = parseBlockedValue(row.value);
        if (!value)
            continue;
        const QString quoted = quoteIdentifier(column);
        db.execute(
            QStringLiteral("UPDATE tblsample SET %1 = NULL WHERE %1 = ?").arg(quoted).toStdString(),
            {*value});
        ++applied;
    }
    return applied;
}

} // namespace orv
