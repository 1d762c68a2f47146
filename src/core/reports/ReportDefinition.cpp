#include "reports/ReportDefinition.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <functional>
#include <optional>

namespace orv {

namespace {

class Parser {
public:
    Parser(ReportDefinition& def, const QString& fileName) : mDef(def), mFile(fileName) {}

    [[noreturn]] void fail(int line, const QString& what) const {
        throw ReportError(QStringLiteral("%1, line %2: %3").arg(mFile).arg(line).arg(what));
    }

    void run(const QString& text) {
        static const QRegularExpression heading(
            QStringLiteral(R"(^\[([a-z-]+)(?:\s+([A-Za-z_][A-Za-z0-9_]*))?\]\s*$)"));
        const QStringList lines = text.split(QLatin1Char('\n'));
        QString kind, name;
        int start = 0;
        QStringList body;
        auto flush = [&] {
            if (!kind.isEmpty())
                section(kind, name, start, body);
            body.clear();
        };
        for (int i = 0; i < lines.size(); ++i) {
            QString line = lines[i];
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            if (line.startsWith(QLatin1Char('['))) {
                const auto m = heading.match(line);
                if (!m.hasMatch())
                    fail(i + 1, QStringLiteral("\"%1\" is not a section heading.").arg(line));
                flush();
                kind = m.captured(1);
                name = m.captured(2);
                start = i + 1;
                continue;
            }
            if (kind.isEmpty()) {
                if (!line.trimmed().isEmpty() && !line.trimmed().startsWith(QLatin1Char('#')))
                    fail(i + 1, QStringLiteral("text before the first section."));
                continue;
            }
            body << line;
        }
        flush();
        check();
    }

private:
    using Setter = std::function<void(const QString& key, const QString& value, int line)>;

    void keyValues(const QStringList& body, int start, const Setter& set) {
        for (int i = 0; i < body.size(); ++i) {
            const QString line = body[i].trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            const int eq = line.indexOf(QLatin1Char('='));
            if (eq <= 0)
                fail(start + i + 1, QStringLiteral("expected \"name = value\"."));
            set(line.left(eq).trimmed().toLower(), line.mid(eq + 1).trimmed(), start + i + 1);
        }
    }

    void section(const QString& kind, const QString& name, int line, const QStringList& body) {
        const bool named = kind == QLatin1String("query") || kind == QLatin1String("chart");
        if (named != !name.isEmpty())
            fail(line, named ? QStringLiteral("the section [%1] needs a name.").arg(kind)
                             : QStringLiteral("the section [%1] takes no name.").arg(kind));
        if (kind == QLatin1String("report")) {
            mSeenReport = true;
            keyValues(body, line, [&](const QString& key, const QString& value, int at) {
                reportKey(key, value, at);
            });
        } else if (kind == QLatin1String("query")) {
            if (mDef.query(name))
                fail(line, QStringLiteral("the query \"%1\" is defined twice.").arg(name));
            mDef.queries.push_back({name, body.join(QLatin1Char('\n')).trimmed(), line});
            if (mDef.queries.back().sql.isEmpty())
                fail(line, QStringLiteral("the query \"%1\" is empty.").arg(name));
        } else if (kind == QLatin1String("chart")) {
            ReportChart chart{name, {}, {}, {}, {}, {}, line};
            keyValues(body, line, [&](const QString& key, const QString& value, int at) {
                if (key == QLatin1String("query"))
                    chart.query = value;
                else if (key == QLatin1String("label"))
                    chart.label = value;
                else if (key == QLatin1String("value"))
                    chart.value = value;
                else if (key == QLatin1String("title"))
                    chart.title = value;
                else if (key == QLatin1String("axis"))
                    chart.axis = value;
                else
                    fail(at, QStringLiteral("unknown chart setting \"%1\".").arg(key));
            });
            mDef.charts.push_back(chart);
        } else {
            ReportTemplate* t = templateFor(kind);
            if (!t)
                fail(line, QStringLiteral("unknown section [%1].").arg(kind));
            if (t->line)
                fail(line, QStringLiteral("the section [%1] appears twice.").arg(kind));
            *t = {body.join(QLatin1Char('\n')), line};
        }
    }

    ReportTemplate* templateFor(const QString& kind) {
        if (kind == QLatin1String("head"))
            return &mDef.head;
        if (kind == QLatin1String("table-head"))
            return &mDef.tableHead;
        if (kind == QLatin1String("block"))
            return &mDef.block;
        if (kind == QLatin1String("tail"))
            return &mDef.tail;
        if (kind == QLatin1String("footer"))
            return &mDef.footer;
        return nullptr;
    }

    void reportKey(const QString& key, const QString& value, int line) {
        if (key == QLatin1String("title")) {
            mDef.title = value;
        } else if (key == QLatin1String("orientation")) {
            if (value == QLatin1String("portrait"))
                mDef.orientation = ReportDefinition::Orientation::Portrait;
            else if (value == QLatin1String("landscape"))
                mDef.orientation = ReportDefinition::Orientation::Landscape;
            else
                fail(line, QStringLiteral("orientation must be portrait or landscape."));
        } else if (key == QLatin1String("body")) {
            mDef.body = value;
            mBodyLine = line;
        } else if (key == QLatin1String("group")) {
            for (const QString& column : value.split(QLatin1Char(','), Qt::SkipEmptyParts))
                mDef.group << column.trimmed();
        } else if (key == QLatin1String("page-break")) {
            if (value != QLatin1String("block") && value != QLatin1String("none"))
                fail(line, QStringLiteral("page-break must be block or none."));
            mDef.pageBreakPerBlock = value == QLatin1String("block");
        } else if (key == QLatin1String("filtered")) {
            if (value != QLatin1String("yes") && value != QLatin1String("no"))
                fail(line, QStringLiteral("filtered must be yes or no."));
            mFiltered = value == QLatin1String("yes");
        } else if (key == QLatin1String("table")) {
            if (!value.startsWith(QLatin1String("<table"), Qt::CaseInsensitive))
                fail(line, QStringLiteral("table must be an opening <table> tag."));
            mDef.table = value;
        } else {
            fail(line, QStringLiteral("unknown report setting \"%1\".").arg(key));
        }
    }

    void check() {
        if (mFiltered)
            mDef.filtered = *mFiltered;
        else
            mDef.filtered =
                std::any_of(mDef.queries.begin(), mDef.queries.end(), [](const auto& q) {
                    return q.sql.contains(QLatin1String("{filter}"));
                });
        if (!mSeenReport)
            fail(1, QStringLiteral("the section [report] is missing."));
        if (mDef.title.isEmpty())
            fail(1, QStringLiteral("the report has no title."));
        if (!mDef.body.isEmpty() && !mDef.query(mDef.body))
            fail(mBodyLine, QStringLiteral("the body query \"%1\" is not defined.").arg(mDef.body));
        if (!mDef.body.isEmpty() && !mDef.block.line)
            fail(mBodyLine, QStringLiteral("a report with a body needs a [block] section."));
        for (const ReportChart& chart : mDef.charts) {
            if (!mDef.query(chart.query))
                fail(chart.line,
                     QStringLiteral("the chart's query \"%1\" is not defined.").arg(chart.query));
            if (chart.label.isEmpty() || chart.value.isEmpty())
                fail(chart.line, QStringLiteral("a chart needs a label and a value column."));
        }
    }

    ReportDefinition& mDef;
    QString mFile;
    bool mSeenReport = false;
    int mBodyLine = 0;
    std::optional<bool> mFiltered;
};

} // namespace

const ReportQuery* ReportDefinition::query(const QString& name) const {
    for (const ReportQuery& q : queries)
        if (q.name == name)
            return &q;
    return nullptr;
}

const ReportChart* ReportDefinition::chart(const QString& name) const {
    for (const ReportChart& c : charts)
        if (c.name == name)
            return &c;
    return nullptr;
}

ReportDefinition ReportDefinition::parse(const QString& text, const QString& fileName) {
    ReportDefinition def;
    Parser(def, fileName).run(text);
    return def;
}

ReportDefinition ReportDefinition::load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ReportError(QStringLiteral("The report file %1 cannot be opened: %2")
                              .arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    ReportDefinition def = parse(text, QFileInfo(path).fileName());
    def.path = path;
    def.id = QFileInfo(path).completeBaseName();
    return def;
}

} // namespace orv
