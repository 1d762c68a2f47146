#include "session/SignIn.h"

#include "session/Session.h"

#include <optional>

namespace orv {

namespace {
QString textOrEmpty(const Statement& st, int column) {
    return st.isNull(column) ? QString("") : st.text(column);
}

QDate storedDate(const Statement& st, int column) {
    if (st.isNull(column))
        return {};
    return QDate::fromString(st.text(column), Qt::ISODate);
}

QVariant dateParam(const QDate& date) {
    return date.isValid() ? QVariant(date.toString(Qt::ISODate)) : QVariant();
}

int adoTypeOf(const QString& name, const QString& declared) {
    // The import derives these two as true dates.
    if (name.compare(QLatin1String("fWIARegDate"), Qt::CaseInsensitive) == 0 ||
        name.compare(QLatin1String("fWIAexitdate"), Qt::CaseInsensitive) == 0)
        return 7;
    const QString t = declared.toUpper();
    if (t.contains(QLatin1String("INT")))
        return 3;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) ||
        t.contains(QLatin1String("DOUB")))
        return 5;
    return 202;
}

void readMasterFields(Session& session) {
    Statement st = session.db().prepare("PRAGMA table_info(tblORVmaster)");
    QVector<MasterField> fields;
    while (st.step()) {
        const QString name = st.text(1);
        fields.push_back({name, adoTypeOf(name, st.text(2))});
    }
    session.useMasterFields(std::move(fields));
}

QStringList distinctValues(Database& db, const char* sql) {
    QStringList out;
    Statement st = db.prepare(sql);
    while (st.step()) {
        // A blank value already means "no filter"; offering it again would only confuse.
        if (st.isNull(0) || st.text(0).trimmed().isEmpty())
            continue;
        out << st.text(0);
    }
    if (!out.isEmpty())
        out.prepend(QStringLiteral(" "));
    return out;
}

} // namespace

SignInForm showSettings(Session& session, SignInMode mode) {
    Database& db = session.db();
    SignInForm form;
    Statement st = db.prepare(
        "SELECT FiscalYear, Period, PeriodEnd, ReportingPeriodStart, ReportingPeriodEnd, "
        "SampleStartDate, OfficeName, WibName, CaseMgr, State FROM tblsystem");
    if (!st.step())
        return form;
    auto date = [&](int column) { return shortDate(storedDate(st, column)); };
    form.fiscalYear = textOrEmpty(st, 0);
    if (mode == SignInMode::SignIn) {
        form.period = date(1);
        form.periodEnd = date(2);
    } else {
        form.period = date(3);
        form.periodEnd = date(4);
    }
    form.sampleDate = date(5);
    form.officeName = textOrEmpty(st, 6);
    form.wibName = textOrEmpty(st, 7);
    form.caseMgr = textOrEmpty(st, 8);
    Settings s = session.settings();
    s.state = textOrEmpty(st, 9);
    auto blankWhenNull = [&](int column) {
        return st.isNull(column) ? QStringLiteral(" ") : st.text(column);
    };
    s.officeName = blankWhenNull(6);
    s.wibName = blankWhenNull(7);
    s.caseMgr = blankWhenNull(8);
    session.useSettings(s);
    return form;
}

FilterLists fillFilterLists(Session& session) {
    Database& db = session.db();
    FilterLists lists;
    lists.offices = distinctValues(db, "SELECT OfficeName FROM tblORVmaster GROUP BY OfficeName");
    lists.wibNames = distinctValues(db, "SELECT WibName FROM tblORVmaster GROUP BY WibName");
    lists.caseMgrs = distinctValues(db, "SELECT CaseMgr FROM tblORVmaster GROUP BY CaseMgr");
    return lists;
}

void loadGlobals(Session& session, SignInMode mode) {
    if (mode == SignInMode::SignIn)
        readMasterFields(session);
    Statement st = session.db().prepare(
        "SELECT showtips, Period, PeriodEnd, ReportingPeriodStart, ReportingPeriodEnd, "
        "SampleStartDate, CaseMgr, OfficeName, WibName, FiscalYear, PopType, State "
        "FROM tblsystem");
    if (!st.step())
        return;
    Settings s = session.settings();
    s.showTips = st.isNull(0) ? 0 : static_cast<int>(st.int64(0));
    s.period = storedDate(st, 1);
    s.periodEnd = storedDate(st, 2);
    s.reportingPeriodStart = st.isNull(3) ? s.period : storedDate(st, 3);
    s.reportingPeriodEnd = st.isNull(4) ? s.periodEnd : storedDate(st, 4);
    s.sampleStartDate = storedDate(st, 5);
    s.caseMgr = textOrEmpty(st, 6);
    s.officeName = textOrEmpty(st, 7);
    s.wibName = textOrEmpty(st, 8);
    s.fiscalYear = textOrEmpty(st, 9);
    s.popType = textOrEmpty(st, 10);
    s.state = textOrEmpty(st, 11);
    session.useSettings(s);
    session.ui().showTipsChanged(s.showTips != 0);
}

RecordFilter storedRecordFilter(Session& session) {
    QVariant stored[3];
    Statement st = session.db().prepare("SELECT OfficeName, WibName, CaseMgr FROM tblsystem");
    if (st.step()) {
        for (int i = 0; i < 3; ++i)
            stored[i] = st.value(i);
    }
    return RecordFilter::fromStored(stored[0], stored[1], stored[2],
                                    session.settings().reportingPeriodStart,
                                    session.settings().reportingPeriodEnd);
}

void buildRecordFilter(Session& session) {
    session.useRecordFilter(storedRecordFilter(session));
    session.ui().periodChanged(reportingPeriodText(session.settings()));
}

SignInOutcome signIn(Session& session, SignInForm form, SignInMode mode, const QDate& today) {
    // The record filter is only replaced by one built whole: a failed click keeps the one the
    // status bar shows, so later queries do not silently match nothing.
    const QString failed = checkSignIn(form, today);
    if (!failed.isEmpty())
        return {false, false, failed};
    try {
        if (mode == SignInMode::SignIn) {
            Settings s = session.settings();
            s.popType = populationType(form.population);
            session.useSettings(s);
        } else {
            // An empty box stored as such would filter on empty values; blank means none.
            for (QString* box : {&form.caseMgr, &form.officeName, &form.wibName}) {
                if (box->trimmed().isEmpty())
                    *box = QStringLiteral(" ");
            }
        }
        const QDate start = parseDateEntry(form.period, today);
        const QDate end = parseDateEntry(form.periodEnd, today);
        const QDate sample = parseDateEntry(form.sampleDate, today);
        session.db().execute(
            "UPDATE tblsystem SET FiscalYear = ?1, Period = ?2, PeriodEnd = ?3, PopType = ?4, "
            "SampleStartDate = ?5, OfficeName = ?6, WibName = ?7, CaseMgr = ?8, "
            "ReportingPeriodStart = ?2, ReportingPeriodEnd = ?3",
            {form.fiscalYear, dateParam(start), dateParam(end), session.settings().popType,
             dateParam(sample), form.officeName, form.wibName, form.caseMgr});
        loadGlobals(session, mode);
        // The data menus open only once the settings are stored.
        if (mode == SignInMode::SignIn)
            session.ui().signedIn();
        buildRecordFilter(session);
    } catch (const DbError& e) {
        return {false, false, e.message()};
    }
    return {true, session.settings().showTips != 0, {}};
}

QString reportingPeriodText(const Settings& settings) {
    return QStringLiteral("Reporting Period - ") + shortDate(settings.reportingPeriodStart) +
           QStringLiteral(" - ") + shortDate(settings.reportingPeriodEnd);
}

QString filterStateText(const RecordFilter& filter) {
    return filter.anyFilter() ? QStringLiteral("Filter (ON)") : QStringLiteral("Filter (OFF)");
}

QString recordFilterDisplay(const RecordFilter& filter) {
    QString sql = filter.sql();
    QString out;
    const QVariantList params = filter.params();
    int next = 0;
    const int count = static_cast<int>(params.size());
    for (QChar c : sql) {
        if (c == u'?' && next < count) {
            const bool isDate = next >= count - 2;
            const QString value = params[next++].toString();
            out += isDate ? shortDate(QDate::fromString(value, Qt::ISODate))
                          : QStringLiteral("'") + value + QStringLiteral("'");
        } else {
            out += c;
        }
    }
    return out;
}

void setShowTips(Session& session, bool show) {
    session.db().execute("UPDATE tblsystem SET showtips = ?1", {show ? 1 : 0});
    Settings s = session.settings();
    s.showTips = show ? 1 : 0;
    session.useSettings(s);
    session.ui().showTipsChanged(show);
}

void clearFiltersAtExit(Session& session) {
    if (!session.isOpen())
        return;
    struct Release {
        Session& s;
        ~Release() { s.closeConnection(); }
    } release{session};
    // Only when the stored case manager is the current sign-in's.
    session.db().execute("UPDATE tblsystem SET CaseMgr = ' ', WibName = ' ', OfficeName = ' ' "
                         "WHERE CaseMgr = ?1",
                         {session.settings().caseMgr});
}

} // namespace orv
