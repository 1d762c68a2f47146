#pragma once

#include "db/Error.h"

#include <QString>
#include <QStringList>

#include <stdexcept>
#include <vector>

namespace orv {

// A definition that cannot be read, or a query or template of it that fails. The text says
// what and where (file and line).
class ReportError : public Error {
public:
    using Error::Error;
};

struct ReportQuery {
    QString name;
    QString sql;
    int line = 0; // of the section's heading
};

struct ReportChart {
    QString name;  // referenced from a template as <img src="chart:NAME">
    QString query; // whose rows are the bars
    QString label; // column giving each bar's label
    QString value; // column giving each bar's height
    QString title;
    QString axis; // the value axis' title
    int line = 0;
};

struct ReportTemplate {
    QString text;
    int line = 0; // of the section's heading; 0 when the definition has none
};

// A report definition file ("R003-1.rpt"): named queries and the HTML templates that show
// their rows. The format is described in the report definitions' README beside them.
struct ReportDefinition {
    enum class Orientation { Portrait, Landscape };

    QString id;
    QString path;
    QString title;
    Orientation orientation = Orientation::Portrait;
    // The query whose rows make the body, one block per row or per group of rows.
    QString body;
    QStringList group;
    bool pageBreakPerBlock = false;
    // The body's blocks are rows of one table opened by this tag, e.g. <table width="100%">.
    QString table;
    // Whether its figures are computed under the sign-in's record filter, so that the filter
    // may be shown beside them. Said by the definition; otherwise whether a query uses it.
    bool filtered = false;

    std::vector<ReportQuery> queries;
    std::vector<ReportChart> charts;
    ReportTemplate head, tableHead, block, tail, footer;

    const ReportQuery* query(const QString& name) const;
    const ReportChart* chart(const QString& name) const;

    // Reads and checks a definition; throws ReportError naming the file and the line.
    static ReportDefinition load(const QString& path);
    static ReportDefinition parse(const QString& text, const QString& fileName);
};

} // namespace orv
