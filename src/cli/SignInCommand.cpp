#include "Commands.h"

#include "session/SignIn.h"

namespace orv::cli {

namespace {

const char* const kDateColumns[] = {"Period", "PeriodEnd", "ReportingPeriodStart",
                                    "ReportingPeriodEnd", "SampleStartDate"};

bool isDateColumn(const QString& name) {
    for (const char* c : kDateColumns) {
        if (name.compare(QLatin1String(c), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The filter settings, with the option that sets each.
struct FilterOption {
    const char* column;
    const char* option;
};
const FilterOption kFilters[] = {
    {"OfficeName", "--office"}, {"WibName", "--wib"}, {"CaseMgr", "--case-mgr"}};

// A filter's stored value, told as kept when this command line did not give it: a sign-in that
// forgets a filter keeps figures filtered without anyone having asked for it.
void printSettings(Context& ctx, const QStringList& givenFilters) {
    Statement st = ctx.session.db().prepare(
        "SELECT FiscalYear, Period, PeriodEnd, ReportingPeriodStart, ReportingPeriodEnd, "
        "SampleStartDate, OfficeName, WibName, CaseMgr, PopType, State, showtips FROM tblsystem");
    if (!st.step())
        return;
    for (int i = 0; i < st.columnCount(); ++i) {
        const QString name = st.columnName(i);
        QString value = st.value(i).toString();
        if (isDateColumn(name))
            value = shortDate(QDate::fromString(value, Qt::ISODate));
        ctx.out << name << ": " << value;
        for (const FilterOption& f : kFilters) {
            if (name.compare(QLatin1String(f.column), Qt::CaseInsensitive) == 0 &&
                !value.trimmed().isEmpty() && !givenFilters.contains(QLatin1String(f.option)))
                ctx.out << " (kept from before; " << f.option
                        << " \"\" or --clear-filter clears it)";
        }
        ctx.out << "\n";
    }
}

} // namespace

// Signs in as the sign-in screen does: the boxes start from the stored settings, the fiscal
// year is typed first (and sets the period), then the dates and filters given; --clear-filter
// empties the three filters first, as the Clear Filter button does.
int signInCommand(Context& ctx, QStringList& args) {
    bool bad = false;
    const bool clearFilters = takeFlag(args, QStringLiteral("--clear-filter"));
    QStringList givenFilters;
    for (const FilterOption& f : kFilters)
        if (args.contains(QLatin1String(f.option)))
            givenFilters << QLatin1String(f.option);
    const QString fiscalYear = takeOption(args, QStringLiteral("--fiscal-year"), bad);
    const QString periodStart = takeOption(args, QStringLiteral("--period-start"), bad);
    const QString periodEnd = takeOption(args, QStringLiteral("--period-end"), bad);
    const QString sampleStart = takeOption(args, QStringLiteral("--sample-start"), bad);
    const QString office = takeOption(args, QStringLiteral("--office"), bad);
    const QString wib = takeOption(args, QStringLiteral("--wib"), bad);
    const QString caseMgr = takeOption(args, QStringLiteral("--case-mgr"), bad);
    if (bad || fiscalYear.isNull() || args.size() != 1 || args[0].startsWith(QLatin1String("--")))
        return Usage;
    if (!openForCommand(ctx, args[0]))
        return Failure;
    try {
        SignInForm form = showSettings(ctx.session, SignInMode::SignIn);
        form.fiscalYear = fiscalYear;
        if (const QString shown = applyFiscalYear(form); !shown.isEmpty()) {
            ctx.err << shown << Qt::endl;
            return Failure;
        }
        const QString* const given[] = {&periodStart, &periodEnd, &sampleStart};
        QString* const boxes[] = {&form.period, &form.periodEnd, &form.sampleDate};
        for (int i = 0; i < 3; ++i) {
            if (given[i]->isNull())
                continue;
            *boxes[i] = *given[i];
            if (const QString shown = dateBoxLeft(*boxes[i]); !shown.isEmpty()) {
                ctx.err << shown << Qt::endl;
                return Failure;
            }
        }
        if (clearFilters)
            form.officeName = form.wibName = form.caseMgr = QStringLiteral(" ");
        // An empty filter option clears that filter.
        auto filter = [](const QString& value, QString& box) {
            if (!value.isNull())
                box = value.trimmed().isEmpty() ? QStringLiteral(" ") : value;
        };
        filter(office, form.officeName);
        filter(wib, form.wibName);
        filter(caseMgr, form.caseMgr);
        if (const SignInOutcome outcome = signIn(ctx.session, form, SignInMode::SignIn);
            !outcome.ok) {
            ctx.ui.message(outcome.failure, Icon::Exclamation);
            return Failure;
        }
        printSettings(ctx, clearFilters
                               ? QStringList{QStringLiteral("--office"), QStringLiteral("--wib"),
                                             QStringLiteral("--case-mgr")}
                               : givenFilters);
        ctx.out << reportingPeriodText(ctx.session.settings()) << "\n"
                << filterStateText(ctx.session.recordFilter()) << "\n"
                << "Filter text: " << ctx.session.recordFilter().text().trimmed() << "\n"
                << "Record filter: " << recordFilterDisplay(ctx.session.recordFilter()) << Qt::endl;
        return Ok;
    } catch (const DbError& e) {
        ctx.err << e.message() << Qt::endl;
        return Failure;
    }
}

} // namespace orv::cli
