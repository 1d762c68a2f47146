#pragma once

#include "reports/ReportDefinition.h"
#include "reports/ReportLimits.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

namespace orv {

class Session;

// The filter description as every report's footer shows it: a blank, then the sign-in's
// filters without their table prefix and without apostrophes.
QString reportFooterText(const QString& filterText);
// The summary comments on one line: every line break becomes one blank, outer blanks trimmed.
QString reportCommentsText(const QString& comments);

// A size as the limits' messages give it: "256 MB".
QString reportMegabytes(qint64 bytes);

// The definition file of a report id in the program's folder.
QString reportDefinitionPath(const Session& session, const QString& id);

struct ReportChartData {
    QString title;
    QString axis;
    QStringList labels;
    QVector<double> values;
};

// One run of a report over the open database: reads its definition, runs its queries with
// the record filter, the settings and the OBS bound as parameters, and renders its templates.
// The body comes a block at a time, so that a report of any size is never held whole.
// Its queries may only read: a statement that would change the database is refused before it
// runs. A query or template that goes past the limits is stopped.
// Everything throws ReportError, with the file and line at fault where there is one.
class ReportRun {
public:
    // obs: restricts the report to one record (its body query must use :obs); empty for all.
    ReportRun(Session& session, const QString& id, const QString& obs = {},
              const ReportLimits& limits = {});
    ~ReportRun();
    ReportRun(const ReportRun&) = delete;
    ReportRun& operator=(const ReportRun&) = delete;

    const ReportDefinition& definition() const;
    QString title() const;
    QString headHtml() const;
    QString tableHeadHtml() const;
    QString tailHtml() const;
    QString footerHtml(int page) const;
    // The next block of the body (a row, or a group of rows); false after the last.
    bool nextBlock(QString& html);
    // Whether the body has no block left (reads ahead one row).
    bool atEnd();
    // Rows of the body read so far.
    long long rowsRead() const;
    const ReportLimits& limits() const;
    // Stops the report for a body that grows too large to lay out: throws ReportError naming
    // the file and the [block] section.
    [[noreturn]] void failBody(const QString& what) const;
    ReportChartData chart(const QString& name) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace orv
