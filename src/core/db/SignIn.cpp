#include "db/SignIn.h"

#include "db/Session.h"

#include <optional>

namespace orv {

namespace {

constexpr const char* kMonths[] = {"january",   "february", "march",    "april",
                                   "may",       "june",     "july",     "august",
                                   "september", "october",  "november", "december"};

// January, Jan, Sept...: a month name or a prefix of at least three letters.
int monthFromName(const QString& word) {
    const QString w = word.toLower();
    if (w.size() < 3)
        return 0;
    for (int i = 0; i < 12; ++i) {
        if (QString::fromLatin1(kMonths[i]).startsWith(w))
            return i + 1;
    }
    return 0;
}

// Digits only, with a two-digit year: 00 is 2000, the others fall in the 1900s.
int widenDigitYear(int year) {
    if (year >= 100)
        return year;
    return year <= 0 ? 2000 + year : 1900 + year;
}

// A written date's short year, as people mean it: 00-29 are this century, 30-99 the last.
constexpr int kLastShortYearOf2000s = 29;

std::optional<int> writtenYear(const QString& digits) {
    if (digits.size() == 4)
        return digits.toInt();
    if (digits.size() == 1 || digits.size() == 2) {
        const int year = digits.toInt();
        return year <= kLastShortYearOf2000s ? 2000 + year : 1900 + year;
    }
    return std::nullopt;
}

QDate fromParts(int year, int month, int day) {
    return QDate::isValid(year, month, day) ? QDate(year, month, day) : QDate();
}

// Eight digits are month, day and year; fewer than two year digits means this year.
QDate parseDigits(const QString& text, const QDate& today) {
    const int month = text.left(2).toInt();
    const int day = text.mid(2, 2).toInt();
    const QString yearText = text.mid(4, 4);
    const int year = yearText.size() >= 2 ? widenDigitYear(yearText.toInt()) : today.year();
    return fromParts(year, month, day);
}

// Dates written with separators or a month name.
QDate parseWritten(const QString& text, const QDate& today) {
    struct Token {
        QString text;
        bool word;
    };
    QVector<Token> tokens;
    for (int i = 0; i < text.size();) {
        const QChar c = text[i];
        if (c.isDigit() || c.isLetter()) {
            const bool word = c.isLetter();
            int j = i;
            while (j < text.size() && (word ? text[j].isLetter() : text[j].isDigit()))
                ++j;
            tokens.push_back({text.mid(i, j - i), word});
            i = j;
        } else if (c == u'/' || c == u'-' || c == u'.' || c == u',' || c.isSpace()) {
            ++i;
        } else {
            return {};
        }
    }
    if (tokens.size() < 2 || tokens.size() > 3)
        return {};

    int month = 0;
    QStringList numbers;
    int wordAt = -1;
    for (int i = 0; i < tokens.size(); ++i) {
        if (tokens[i].word) {
            if (wordAt >= 0)
                return {};
            wordAt = i;
            month = monthFromName(tokens[i].text);
            if (month == 0)
                return {};
        } else {
            if (tokens[i].text.size() > 4)
                return {};
            numbers << tokens[i].text;
        }
    }

    int day = 0;
    std::optional<int> year = today.year();
    if (wordAt < 0) {
        if (numbers.size() == 3 && numbers[0].size() == 4) { // 2006-07-01
            year = numbers[0].toInt();
            month = numbers[1].toInt();
            day = numbers[2].toInt();
        } else {
            month = numbers[0].toInt();
            day = numbers[1].toInt();
            if (numbers.size() == 3)
                year = writtenYear(numbers[2]);
        }
    } else if (wordAt == 2) {
        return {};
    } else {
        // "July 1, 2006" or "1 July 2006"; the day comes first among the numbers either way.
        day = numbers[0].toInt();
        if (numbers[0].size() > 2)
            return {};
        if (numbers.size() == 2)
            year = writtenYear(numbers[1]);
    }
    if (!year)
        return {};
    return fromParts(*year, month, day);
}

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
    session.masterFields = fields;
    session.masterFieldCount = static_cast<int>(fields.size());
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

constexpr MenuEntry kSignedInMenus[] = {
    MenuEntry::ReportValidation,       MenuEntry::DataValidation,        MenuEntry::ImportData,
    MenuEntry::ChangeReportingOptions, MenuEntry::CompactDatabase,       MenuEntry::FixDatabase,
    MenuEntry::ViewOutcomeGroups,      MenuEntry::ViewPerformanceReport, MenuEntry::Utilities,
};

} // namespace

QString shortDate(const QDate& date) {
    return date.isValid() ? date.toString(QStringLiteral("MM/dd/yyyy")) : QString("");
}

bool isNumericText(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    for (QChar c : t) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

QDate parseDateEntry(const QString& text, const QDate& today) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    if (isNumericText(t)) {
        if (t.size() < 4)
            return {};
        return parseDigits(t, today);
    }
    return parseWritten(t, today);
}

bool normalizeDateEntry(QString& text, const QDate& today) {
    if (text.isEmpty())
        return false;
    const QDate date = parseDateEntry(text, today);
    text = shortDate(date);
    return !date.isValid();
}

QString dateBoxLeft(QString& text, const QDate& today) {
    if (text.isEmpty())
        return {};
    QString copy = text;
    if (normalizeDateEntry(copy, today) || copy.isEmpty()) {
        text.clear();
        return kPleaseEnterValidDate;
    }
    text = copy;
    return {};
}

QString applyFiscalYear(SignInForm& form) {
    // Passing through the empty box is not typing a year: the period typed stays.
    if (form.fiscalYear.isEmpty())
        return {};
    QString shown;
    if (form.period.isEmpty() && form.periodEnd.isEmpty() && !isNumericText(form.fiscalYear)) {
        shown = kFiscalYearNotNumeric;
        form.fiscalYear.clear();
    }
    if (isNumericText(form.fiscalYear)) {
        const qlonglong year = form.fiscalYear.trimmed().toLongLong();
        form.period = QStringLiteral("07/01/") + QString::number(year - 2);
        form.periodEnd = QStringLiteral("06/30/") + QString::number(year - 1);
        return shown;
    }
    form.period.clear();
    form.periodEnd.clear();
    return shown;
}

QString checkSignIn(const SignInForm& form, const QDate& today) {
    if (form.fiscalYear.isEmpty() && (form.period.isEmpty() || form.sampleDate.isEmpty()))
        return kMustEnterDates;
    // The period is compared below: both ends must be there.
    if (form.period.trimmed().isEmpty() || form.periodEnd.trimmed().isEmpty())
        return kMustEnterDates;
    const QDate start = parseDateEntry(form.period, today);
    const QDate end = parseDateEntry(form.periodEnd, today);
    if (!start.isValid() || !end.isValid())
        return kPleaseEnterValidDate;
    if (!form.sampleDate.trimmed().isEmpty() && !parseDateEntry(form.sampleDate, today).isValid())
        return kPleaseEnterValidDate;
    if (start > end)
        return kEndBeforeStart;
    return {};
}

QString populationType(const QString& population) {
    const int dash = population.indexOf(u'-');
    return (dash < 0 ? population : population.left(dash)).trimmed();
}

SignInForm showSettings(Session& session, SignInMode mode) {
    Database& db = session.db();
    {
        Statement notes = db.prepare("SELECT Comments FROM tblValSummaryNotes WHERE ID = '1'");
        session.summaryComments = notes.step() ? textOrEmpty(notes, 0) : QString("");
    }
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
    Settings& s = session.settings;
    s.state = textOrEmpty(st, 9);
    auto blankWhenNull = [&](int column) {
        return st.isNull(column) ? QStringLiteral(" ") : st.text(column);
    };
    s.officeName = blankWhenNull(6);
    s.wibName = blankWhenNull(7);
    s.caseMgr = blankWhenNull(8);
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
    Settings& s = session.settings;
    s.showTips = st.isNull(0) ? 0 : static_cast<int>(st.int64(0));
    session.ui().setMenuChecked(MenuEntry::ShowTipsAtStartup, s.showTips != 0);
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
}

RecordFilter storedRecordFilter(Session& session) {
    QVariant stored[3];
    Statement st = session.db().prepare("SELECT OfficeName, WibName, CaseMgr FROM tblsystem");
    if (st.step()) {
        for (int i = 0; i < 3; ++i)
            stored[i] = st.value(i);
    }
    return RecordFilter::fromStored(stored[0], stored[1], stored[2],
                                    session.settings.reportingPeriodStart,
                                    session.settings.reportingPeriodEnd);
}

void useRecordFilter(Session& session, const RecordFilter& filter) {
    session.recordFilter = filter;
    session.filterText = filter.text();
    session.ui().setStatus(5, filterStateText(filter));
}

void buildRecordFilter(Session& session) {
    useRecordFilter(session, storedRecordFilter(session));
    session.ui().setStatus(2, reportingPeriodText(session.settings));
}

SignInOutcome signIn(Session& session, SignInForm form, SignInMode mode, const QDate& today) {
    // The record filter is only replaced by one built whole: a failed click keeps the one the
    // status bar shows, so later queries do not silently match nothing.
    const QString failed = checkSignIn(form, today);
    if (!failed.isEmpty())
        return {false, false, failed};
    try {
        if (mode == SignInMode::SignIn) {
            session.settings.popType = populationType(form.population);
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
            {form.fiscalYear, dateParam(start), dateParam(end), session.settings.popType,
             dateParam(sample), form.officeName, form.wibName, form.caseMgr});
        loadGlobals(session, mode);
        // The data menus open only once the settings are stored.
        if (mode == SignInMode::SignIn) {
            for (MenuEntry e : kSignedInMenus)
                session.ui().setMenuEnabled(e, true);
        }
        buildRecordFilter(session);
    } catch (const DbError& e) {
        return {false, false, e.message()};
    }
    return {true, session.settings.showTips != 0, {}};
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
    session.settings.showTips = show ? 1 : 0;
    session.ui().setMenuChecked(MenuEntry::ShowTipsAtStartup, show);
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
                         {session.settings.caseMgr});
}

} // namespace orv
