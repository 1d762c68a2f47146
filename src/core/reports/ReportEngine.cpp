#include "reports/ReportEngine.h"

#include "db/Session.h"
#include "reports/ReportSources.h"
#include "worksheet/DataElements.h"
#include "worksheet/SummaryComments.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QRegularExpression>

#include <kainjow/mustache.hpp>
#include <sqlite3.h>

namespace orv {

namespace mu = kainjow::mustache;

QString reportFooterText(const QString& filterText) {
    QString text = filterText;
    // The sign-in writes the prefix in one case and the import in another.
    text.remove(QStringLiteral("tblOrvMaster."), Qt::CaseInsensitive);
    text.remove(QLatin1Char('\''));
    return QLatin1Char(' ') + text;
}

QString reportCommentsText(const QString& comments) {
    QString text = comments;
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    // Comments typed here end their lines with a line feed alone.
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text.trimmed();
}

QString reportDefinitionPath(const Session& session, const QString& id) {
    return session.programFile(id + QStringLiteral(".rpt"));
}

namespace {

std::string utf8(const QString& s) {
    return s.toStdString();
}

struct Rows {
    QStringList columns;
    std::vector<std::vector<QVariant>> rows;
};

mu::data rowData(const QStringList& columns, const std::vector<QVariant>& row) {
    mu::data out(mu::data::type::object);
    for (int c = 0; c < columns.size(); ++c)
        out.set(utf8(columns[c]), utf8(displayText(row[static_cast<std::size_t>(c)])));
    return out;
}

std::vector<QVariant> readRow(const Statement& st) {
    std::vector<QVariant> row(static_cast<std::size_t>(st.columnCount()));
    for (int c = 0; c < st.columnCount(); ++c)
        row[static_cast<std::size_t>(c)] = st.value(c);
    return row;
}

} // namespace

struct ReportRun::Impl {
    Session& session;
    ReportDefinition def;
    QString file;
    QHash<QString, QVariant> params;
    QString filterSql;

    std::unique_ptr<mu::mustache> head, tableHead, block, tail, footer;
    mu::data globals{mu::data::type::object};

    Statement body;
    QStringList bodyColumns;
    std::vector<int> groupColumns;
    std::vector<QVariant> pending;
    bool hasPending = false;
    bool bodyDone = true;
    long long rowsRead = 0;

    explicit Impl(Session& s) : session(s) {}

    [[noreturn]] void fail(const QString& where, int line, const QString& what) const {
        throw ReportError(
            QStringLiteral("%1, %2 (line %3): %4").arg(file, where).arg(line).arg(what));
    }

    std::unique_ptr<mu::mustache> compile(const ReportTemplate& t, const QString& name) {
        auto m = std::make_unique<mu::mustache>(utf8(t.text));
        if (!m->is_valid())
            fail(QStringLiteral("[%1]").arg(name), t.line,
                 QString::fromStdString(m->error_message()));
        return m;
    }

    Statement prepare(const ReportQuery& q) {
        QString sql = q.sql;
        sql.replace(QLatin1String("{filter}"), QLatin1Char('(') + filterSql + QLatin1Char(')'));
        const QString where = QStringLiteral("query %1").arg(q.name);
        Statement st;
        try {
            st = session.db().prepare(utf8(sql));
        } catch (const DbError& e) {
            fail(where, q.line, e.message());
        }
        sqlite3_stmt* h = st.handle();
        for (int i = 1; i <= sqlite3_bind_parameter_count(h); ++i) {
            const char* raw = sqlite3_bind_parameter_name(h, i);
            const QString name = raw ? QString::fromUtf8(raw + 1) : QString();
            const auto it = params.constFind(name);
            if (it == params.cend())
                fail(where, q.line,
                     QStringLiteral("unknown parameter \"%1\".")
                         .arg(raw ? QString::fromUtf8(raw) : QStringLiteral("?")));
            st.bind(i, *it);
        }
        return st;
    }

    Rows run(const ReportQuery& q) {
        Statement st = prepare(q);
        Rows out;
        for (int c = 0; c < st.columnCount(); ++c)
            out.columns << st.columnName(c);
        try {
            while (st.step())
                out.rows.push_back(readRow(st));
        } catch (const DbError& e) {
            fail(QStringLiteral("query %1").arg(q.name), q.line, e.message());
        }
        return out;
    }

    QString render(mu::mustache& m, const mu::data* extra) const {
        mu::context<std::string> ctx(&globals);
        if (extra)
            ctx.push(extra);
        return QString::fromStdString(m.render(ctx));
    }

    void bindParameters(const QString& obs) {
        const Settings& s = session.settings;
        const RecordFilter& f = session.recordFilter;
        auto iso = [](const QDate& d) { return d.isValid() ? d.toString(Qt::ISODate) : QString(); };
        bool isNumber = false;
        const qlonglong obsNumber = obs.trimmed().toLongLong(&isNumber);
        params.insert(QStringLiteral("obs"),
                      obs.isEmpty() ? QVariant()
                                    : (isNumber ? QVariant(obsNumber) : QVariant(obs)));
        params.insert(QStringLiteral("state"), s.state);
        params.insert(QStringLiteral("fiscal_year"), s.fiscalYear);
        params.insert(QStringLiteral("pop_type"), s.popType);
        params.insert(QStringLiteral("period_start"), iso(f.periodStart));
        params.insert(QStringLiteral("period_end"), iso(f.periodEnd));
        // The filter's own placeholders become named ones, so that a query can mix them.
        filterSql = f.sql();
        const QVariantList values = f.params();
        int n = 0;
        QString named;
        for (const QChar ch : filterSql) {
            if (ch == QLatin1Char('?')) {
                const QString name = QStringLiteral("filter_%1").arg(++n);
                named += QLatin1Char(':') + name;
                params.insert(name, values.value(n - 1));
            } else {
                named += ch;
            }
        }
        filterSql = named;
    }

    void setGlobals(const QString& obs) {
        const Settings& s = session.settings;
        auto shortDate = [](const QDate& d) {
            return d.isValid() ? d.toString(QStringLiteral("MM/dd/yyyy")) : QString();
        };
        auto set = [&](const char* key, const QString& value) { globals.set(key, utf8(value)); };
        set("id", def.id);
        set("title", def.title);
        const QString footer = reportFooterText(session.filterText);
        const QString comments = reportCommentsText(readSummaryComments(session));
        set("RptFooter", footer);
        set("Comments", comments);
        globals.set("has_filter", !footer.trimmed().isEmpty());
        globals.set("has_comments", !comments.isEmpty());
        set("printed", QDateTime::currentDateTime().toString(QStringLiteral("MM/dd/yyyy h:mm AP")));
        set("state", s.state);
        set("fiscal_year", s.fiscalYear);
        set("pop_type", s.popType);
        set("period_start", shortDate(session.recordFilter.periodStart));
        set("period_end", shortDate(session.recordFilter.periodEnd));
        set("obs", obs);
        set("database", session.databaseName);
    }

    void openBody(const QString& obs) {
        const ReportQuery& q = *def.query(def.body);
        if (!obs.isEmpty() && !q.sql.contains(QLatin1String(":obs")))
            fail(QStringLiteral("query %1").arg(q.name), q.line,
                 QStringLiteral("this report cannot be shown for one record."));
        body = prepare(q);
        for (int c = 0; c < body.columnCount(); ++c)
            bodyColumns << body.columnName(c);
        for (const QString& g : def.group) {
            int found = -1;
            for (int c = 0; c < bodyColumns.size() && found < 0; ++c)
                if (bodyColumns[c].compare(g, Qt::CaseInsensitive) == 0)
                    found = c;
            if (found < 0)
                fail(QStringLiteral("query %1").arg(q.name), q.line,
                     QStringLiteral("the group column \"%1\" is not among its columns.").arg(g));
            groupColumns.push_back(found);
        }
        bodyDone = false;
    }

    bool step() {
        try {
            if (!body.step()) {
                bodyDone = true;
                return false;
            }
        } catch (const DbError& e) {
            fail(QStringLiteral("query %1").arg(def.body), def.query(def.body)->line, e.message());
        }
        pending = readRow(body);
        hasPending = true;
        ++rowsRead;
        return true;
    }

    bool sameGroup(const std::vector<QVariant>& a, const std::vector<QVariant>& b) const {
        for (int c : groupColumns)
            if (a[static_cast<std::size_t>(c)] != b[static_cast<std::size_t>(c)])
                return false;
        return true;
    }
};

ReportRun::ReportRun(Session& session, const QString& id, const QString& obs)
    : d(std::make_unique<Impl>(session)) {
    d->def = ReportDefinition::load(reportDefinitionPath(session, id));
    d->file = QDir::toNativeSeparators(d->def.path);
    const ReportDefinition& def = d->def;
    d->head = d->compile(def.head, QStringLiteral("head"));
    d->tableHead = d->compile(def.tableHead, QStringLiteral("table-head"));
    d->block = d->compile(def.block, QStringLiteral("block"));
    d->tail = d->compile(def.tail, QStringLiteral("tail"));
    d->footer = d->compile(def.footer, QStringLiteral("footer"));

    prepareReportSources(session.db());
    d->bindParameters(obs);
    d->setGlobals(obs);
    for (const ReportQuery& q : def.queries) {
        if (q.name == def.body)
            continue;
        const Rows rows = d->run(q);
        mu::data list(mu::data::type::list);
        for (const auto& row : rows.rows)
            list.push_back(rowData(rows.columns, row));
        d->globals.set(utf8(q.name), list);
    }
    if (!def.body.isEmpty())
        d->openBody(obs);
    else if (!obs.isEmpty())
        throw ReportError(
            QStringLiteral("%1: this report cannot be shown for one record.").arg(d->file));
}

ReportRun::~ReportRun() = default;

const ReportDefinition& ReportRun::definition() const {
    return d->def;
}

QString ReportRun::title() const {
    return d->def.title;
}

QString ReportRun::headHtml() const {
    return d->render(*d->head, nullptr);
}

QString ReportRun::tableHeadHtml() const {
    return d->render(*d->tableHead, nullptr);
}

QString ReportRun::tailHtml() const {
    return d->render(*d->tail, nullptr);
}

QString ReportRun::footerHtml(int page) const {
    mu::data extra(mu::data::type::object);
    extra.set("page", std::to_string(page));
    return d->render(*d->footer, &extra);
}

bool ReportRun::nextBlock(QString& html) {
    if (d->bodyDone && !d->hasPending)
        return false;
    if (!d->hasPending && !d->step())
        return false;
    std::vector<QVariant> first = std::move(d->pending);
    d->hasPending = false;
    mu::data rows(mu::data::type::list);
    rows.push_back(rowData(d->bodyColumns, first));
    if (!d->groupColumns.empty()) {
        while (d->step()) {
            if (!d->sameGroup(first, d->pending))
                break;
            rows.push_back(rowData(d->bodyColumns, d->pending));
            d->hasPending = false;
        }
    }
    mu::data blockData = rowData(d->bodyColumns, first);
    blockData.set("rows", rows);
    html = d->render(*d->block, &blockData);
    return true;
}

bool ReportRun::atEnd() {
    if (d->hasPending)
        return false;
    return d->bodyDone || !d->step();
}

long long ReportRun::rowsRead() const {
    return d->rowsRead;
}

ReportChartData ReportRun::chart(const QString& name) const {
    const ReportChart* spec = d->def.chart(name);
    if (!spec)
        throw ReportError(
            QStringLiteral("%1: the chart \"%2\" is not defined.").arg(d->file, name));
    const Rows rows = d->run(*d->def.query(spec->query));
    auto column = [&](const QString& wanted) {
        for (int c = 0; c < rows.columns.size(); ++c)
            if (rows.columns[c].compare(wanted, Qt::CaseInsensitive) == 0)
                return c;
        d->fail(QStringLiteral("chart %1").arg(name), spec->line,
                QStringLiteral("its query has no column \"%1\".").arg(wanted));
    };
    const int label = column(spec->label);
    const int value = column(spec->value);
    ReportChartData out{spec->title, spec->axis, {}, {}};
    for (const auto& row : rows.rows) {
        out.labels << displayText(row[static_cast<std::size_t>(label)]);
        out.values << row[static_cast<std::size_t>(value)].toDouble();
    }
    return out;
}

} // namespace orv
