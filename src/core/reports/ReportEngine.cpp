#include "reports/ReportEngine.h"

#include "reports/ReportSources.h"
#include "session/Session.h"
#include "worksheet/DataElements.h"
#include "worksheet/SummaryComments.h"

#include <QDateTime>
#include <QDir>
#include <QHash>
#include <QRegularExpression>

#include <kainjow/mustache.hpp>

#include <algorithm>
#include <chrono>

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

// What a row held for the templates costs besides its text, roughly: the containers around
// every value.
constexpr qint64 kRowBytes = 256;
constexpr qint64 kCellBytes = 384;
// Virtual machine steps between two looks at the clock.
constexpr int kStepsPerTick = 1000;

// The deepest nesting of sections in a template, found before the template engine parses it:
// its parser copies every section's inside, so a deep nest costs the square of its size.
int sectionDepth(const std::string& text) {
    std::string open = "{{", close = "}}";
    int depth = 0, deepest = 0;
    std::size_t at = 0;
    while ((at = text.find(open, at)) != std::string::npos) {
        std::size_t start = at + open.size();
        std::string closing = close;
        if (open == "{{" && start < text.size() && text[start] == '{')
            closing = "}}}";
        const std::size_t end = text.find(closing, start);
        if (end == std::string::npos)
            break;
        std::string tag = text.substr(start, end - start);
        tag.erase(0, tag.find_first_not_of(" \t"));
        if (!tag.empty() && (tag[0] == '#' || tag[0] == '^')) {
            deepest = std::max(deepest, ++depth);
        } else if (!tag.empty() && tag[0] == '/') {
            --depth;
        } else if (tag.size() > 2 && tag[0] == '=' && tag.back() == '=') {
            // New delimiters: {{=<% %>=}}
            const std::string inner = tag.substr(1, tag.size() - 2);
            const std::size_t a = inner.find_first_not_of(' ');
            const std::size_t b = inner.find(' ', a);
            const std::size_t c = b == std::string::npos ? b : inner.find_first_not_of(' ', b);
            if (a != std::string::npos && c != std::string::npos) {
                open = inner.substr(a, b - a);
                close = inner.substr(c, inner.find(' ', c) - c);
            }
        }
        at = end + closing.size();
    }
    return deepest;
}

// The text of one rendering, stopped once it grows past its limit.
struct TooLong {};
struct BoundedText {
    std::string text;
    qint64 limit;
    BoundedText& operator<<(const std::string& piece) {
        if (qint64(text.size() + piece.size()) > limit)
            throw TooLong{};
        text += piece;
        return *this;
    }
};

} // namespace

QString reportMegabytes(qint64 bytes) {
    return QStringLiteral("%1 MB").arg(double(bytes) / (1 << 20), 0, 'g', 4);
}

struct ReportRun::Impl {
    // A template compiled, with where it came from.
    struct Template {
        std::unique_ptr<mu::mustache> m;
        QString name;
        int line = 0;
    };
    // The clock of one query, looked at while the engine runs it.
    struct Watch {
        std::chrono::steady_clock::time_point start;
        std::chrono::nanoseconds spent;
        std::chrono::milliseconds limit;
        bool tripped = false;
        bool inTime() {
            if (spent + (std::chrono::steady_clock::now() - start) < limit)
                return true;
            tripped = true;
            return false;
        }
    };

    Session& session;
    ReportLimits limits;
    ReportDefinition def;
    QString file;
    QHash<QString, QVariant> params;
    QString filterSql;

    Template head, tableHead, block, tail, footer;
    mu::data globals{mu::data::type::object};

    Statement body;
    QStringList bodyColumns;
    std::vector<int> groupColumns;
    std::vector<QVariant> pending;
    bool hasPending = false;
    bool bodyDone = true;
    long long rowsRead = 0;
    std::chrono::nanoseconds bodySpent{0};

    Impl(Session& s, const ReportLimits& l) : session(s), limits(l) {}

    [[noreturn]] void fail(const QString& where, int line, const QString& what) const {
        throw ReportError(
            QStringLiteral("%1, %2 (line %3): %4").arg(file, where).arg(line).arg(what));
    }

    Template compile(const ReportTemplate& t, const QString& name) {
        const QString where = QStringLiteral("[%1]").arg(name);
        const std::string text = utf8(t.text);
        if (sectionDepth(text) > limits.nesting)
            fail(where, t.line,
                 QStringLiteral("its sections nest more than %1 deep, the most a template may.")
                     .arg(limits.nesting));
        auto m = std::make_unique<mu::mustache>(text);
        if (!m->is_valid())
            fail(where, t.line, QString::fromStdString(m->error_message()));
        return {std::move(m), where, t.line};
    }

    static QString where(const ReportQuery& q) { return QStringLiteral("query %1").arg(q.name); }

    Statement prepare(const ReportQuery& q) {
        QString sql = q.sql;
        sql.replace(QLatin1String("{filter}"), QLatin1Char('(') + filterSql + QLatin1Char(')'));
        Statement st;
        // The report shares the program's connection (a second one would keep a worksheet from
        // being saved while a report is open); what it may do there is decided as it compiles.
        try {
            st = session.db().prepareReadOnly(utf8(sql));
        } catch (const WriteRefused&) {
            refuseWriting(q);
        } catch (const DbError& e) {
            fail(where(q), q.line, e.message());
        }
        if (!st.isValid())
            fail(where(q), q.line, QStringLiteral("it holds no statement."));
        for (int i = 1; i <= st.parameterCount(); ++i) {
            const QString raw = st.parameterName(i);
            const QString name = raw.isNull() ? QString() : raw.mid(1);
            const auto it = params.constFind(name);
            if (it == params.cend())
                fail(where(q), q.line,
                     QStringLiteral("unknown parameter \"%1\".")
                         .arg(raw.isNull() ? QStringLiteral("?") : raw));
            st.bind(i, *it);
        }
        return st;
    }

    [[noreturn]] void refuseWriting(const ReportQuery& q) const {
        fail(where(q), q.line,
             QStringLiteral("a report may only read the database; this statement would change "
                            "it and was not run."));
    }

    // One step of a query of the report, on the clock and within the row limit. spent: the
    // query's running time so far, which the step adds to.
    bool step(Statement& st, const ReportQuery& q, std::chrono::nanoseconds& spent,
              long long rowsSoFar) {
        Watch watch{std::chrono::steady_clock::now(), spent, limits.queryTime};
        bool more = false;
        try {
            ProgressHook hook(session.db(), kStepsPerTick, [&watch] { return watch.inTime(); });
            more = st.step();
        } catch (const DbError& e) {
            if (watch.tripped)
                fail(where(q), q.line,
                     QStringLiteral("it ran longer than %1 seconds, the most a report query may.")
                         .arg(double(limits.queryTime.count()) / 1000));
            fail(where(q), q.line, e.message());
        }
        spent += std::chrono::steady_clock::now() - watch.start;
        if (more && rowsSoFar >= limits.rows)
            fail(where(q), q.line,
                 QStringLiteral("it returns more than %L1 rows, the most a report query may.")
                     .arg(limits.rows));
        return more;
    }

    // Every row of a query other than the body, held within the limit on held rows.
    template <typename Take> QStringList forEachRow(const ReportQuery& q, qint64& held, Take take) {
        Statement st = prepare(q);
        QStringList columns;
        for (int c = 0; c < st.columnCount(); ++c)
            columns << st.columnName(c);
        std::chrono::nanoseconds spent{0};
        long long rows = 0;
        while (step(st, q, spent, rows)) {
            ++rows;
            std::vector<QVariant> row = readRow(st);
            held += kRowBytes;
            for (const QVariant& value : row)
                held += kCellBytes + (value.typeId() == QMetaType::QString
                                          ? 2 * qint64(value.toString().size())
                                          : qint64(sizeof(double)));
            if (held > limits.heldBytes)
                fail(where(q), q.line,
                     QStringLiteral("its rows take more than %1, the most a report holds besides "
                                    "its body; list long rows in the body.")
                         .arg(reportMegabytes(limits.heldBytes)));
            take(std::move(row), columns);
        }
        return columns;
    }

    Rows run(const ReportQuery& q, qint64& held) {
        Rows out;
        out.columns = forEachRow(q, held, [&](std::vector<QVariant> row, const QStringList&) {
            out.rows.push_back(std::move(row));
        });
        return out;
    }

    mu::data list(const ReportQuery& q, qint64& held) {
        mu::data out(mu::data::type::list);
        forEachRow(q, held, [&](std::vector<QVariant> row, const QStringList& columns) {
            out.push_back(rowData(columns, row));
        });
        return out;
    }

    QString render(const Template& t, const mu::data* extra) const {
        mu::context<std::string> ctx(&globals);
        if (extra)
            ctx.push(extra);
        BoundedText out{{}, limits.outputBytes};
        try {
            t.m->render(ctx, out);
        } catch (const TooLong&) {
            fail(t.name, t.line,
                 QStringLiteral("its text grows past %1, the most one template may produce.")
                     .arg(reportMegabytes(limits.outputBytes)));
        }
        return QString::fromStdString(out.text);
    }

    void bindParameters(const QString& obs) {
        const Settings& s = session.settings();
        const RecordFilter& f = session.recordFilter();
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
        const Settings& s = session.settings();
        auto shortDate = [](const QDate& d) {
            return d.isValid() ? d.toString(QStringLiteral("MM/dd/yyyy")) : QString();
        };
        auto set = [&](const char* key, const QString& value) { globals.set(key, utf8(value)); };
        set("id", def.id);
        set("title", def.title);
        // The filters are shown only beside figures computed under them.
        const QString footer =
            def.filtered ? reportFooterText(session.recordFilter().text()) : QString();
        const QString comments = reportCommentsText(readSummaryComments(session));
        set("RptFooter", footer);
        set("Comments", comments);
        globals.set("has_filter", !footer.trimmed().isEmpty());
        globals.set("has_comments", !comments.isEmpty());
        set("printed", QDateTime::currentDateTime().toString(QStringLiteral("MM/dd/yyyy h:mm AP")));
        set("state", s.state);
        set("fiscal_year", s.fiscalYear);
        set("pop_type", s.popType);
        set("period_start", shortDate(session.recordFilter().periodStart));
        set("period_end", shortDate(session.recordFilter().periodEnd));
        set("obs", obs);
        set("database", session.databaseName());
    }

    void openBody(const QString& obs) {
        const ReportQuery& q = *def.query(def.body);
        if (!obs.isEmpty() && !q.sql.contains(QLatin1String(":obs")))
            fail(where(q), q.line, QStringLiteral("this report cannot be shown for one record."));
        body = prepare(q);
        for (int c = 0; c < body.columnCount(); ++c)
            bodyColumns << body.columnName(c);
        for (const QString& g : def.group) {
            int found = -1;
            for (int c = 0; c < bodyColumns.size() && found < 0; ++c)
                if (bodyColumns[c].compare(g, Qt::CaseInsensitive) == 0)
                    found = c;
            if (found < 0)
                fail(where(q), q.line,
                     QStringLiteral("the group column \"%1\" is not among its columns.").arg(g));
            groupColumns.push_back(found);
        }
        bodyDone = false;
    }

    bool step() {
        if (!step(body, *def.query(def.body), bodySpent, rowsRead)) {
            bodyDone = true;
            return false;
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

ReportRun::ReportRun(Session& session, const QString& id, const QString& obs,
                     const ReportLimits& limits)
    : d(std::make_unique<Impl>(session, limits)) {
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
    qint64 held = 0;
    for (const ReportQuery& q : def.queries) {
        if (q.name == def.body)
            continue;
        d->globals.set(utf8(q.name), d->list(q, held));
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
    return d->render(d->head, nullptr);
}

QString ReportRun::tableHeadHtml() const {
    return d->render(d->tableHead, nullptr);
}

QString ReportRun::tailHtml() const {
    return d->render(d->tail, nullptr);
}

QString ReportRun::footerHtml(int page) const {
    mu::data extra(mu::data::type::object);
    extra.set("page", std::to_string(page));
    return d->render(d->footer, &extra);
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
    html = d->render(d->block, &blockData);
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

const ReportLimits& ReportRun::limits() const {
    return d->limits;
}

void ReportRun::failBody(const QString& what) const {
    d->fail(QStringLiteral("[block]"), d->def.block.line, what);
}

ReportChartData ReportRun::chart(const QString& name) const {
    const ReportChart* spec = d->def.chart(name);
    if (!spec)
        throw ReportError(
            QStringLiteral("%1: the chart \"%2\" is not defined.").arg(d->file, name));
    qint64 held = 0;
    const Rows rows = d->run(*d->def.query(spec->query), held);
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
