#pragma once

#include "db/RecordFilter.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace orv {

class Session;
struct Settings;

// The sign-in screen serves two purposes: signing in after a database is opened, and
// changing the reporting period and the record filters later.
enum class SignInMode { SignIn, ReportOptions };

// The texts of the sign-in screen's boxes, as the user typed them.
struct SignInForm {
    QString fiscalYear;
    QString period;
    QString periodEnd;
    QString sampleDate;
    QString officeName;
    QString wibName;
    QString caseMgr;
    QString population = QStringLiteral("1- Halvern");
};

inline const QString kPleaseEnterValidDate = QStringLiteral("Please enter a valid date.");
inline const QString kFiscalYearNotNumeric = QStringLiteral("Fiscal Year must be numeric.");
inline const QString kMustEnterDates = QStringLiteral("Must enter Dates.");
inline const QString kEndBeforeStart =
    QStringLiteral("Invalid Dates -- The Period End Date is before the Period Start Date.");

// MM/DD/YYYY whatever the locale; empty for an invalid date.
QString shortDate(const QDate& date);

// Reads a typed date: eight digits MMDDYYYY (or MMDDYY, or MMDD for the current year), or a
// written date such as 7/1/06, 7-1-2006, 2006-07-01, Jul 1, 2006, July 1 2006 or 1-Jul-2006.
// A two-digit year of digits only falls in the 1900s except 00, which is 2000; a written one
// is 2000-2029 for 00-29 and 1930-1999 for 30-99. An invalid QDate when the text is no date.
QDate parseDateEntry(const QString& text, const QDate& today = QDate::currentDate());

// Puts a typed date into short date form. An empty text stays empty and is valid; anything
// that is no date empties the text. Returns true when the text was invalid.
[[nodiscard]] bool normalizeDateEntry(QString& text, const QDate& today = QDate::currentDate());

// A whole number as typed (digits only, blanks around allowed).
bool isNumericText(const QString& text);

// The fiscal year box lost focus. A numeric year sets the period to the programme year
// (2008 gives 07/01/2006 to 06/30/2007); an empty box changes nothing. Returns the message
// to show, empty when none.
[[nodiscard]] QString applyFiscalYear(SignInForm& form);

// A date box lost focus: normalizes its text. Returns the message to show, empty when none.
[[nodiscard]] QString dateBoxLeft(QString& text, const QDate& today = QDate::currentDate());

// The checks of Sign In / Save. Returns the message of the first that fails, empty when none.
[[nodiscard]] QString checkSignIn(const SignInForm& form,
                                  const QDate& today = QDate::currentDate());

// The population type: the population text before its first "-".
QString populationType(const QString& population);

// Reads the stored settings into the boxes of the screen for its mode, and the summary
// comments, the state and the filter globals into the session. Throws DbError.
SignInForm showSettings(Session& session, SignInMode mode);

// The values the filter boxes offer in report-options mode: each list is empty, or " " (no
// filter) followed by the master table's distinct values.
struct FilterLists {
    QStringList offices;
    QStringList wibNames;
    QStringList caseMgrs;
};
FilterLists fillFilterLists(Session& session);

// Reads the settings into the session (and, in sign-in mode, the master column list) and
// sets the check mark of "Show Tips At Startup". Throws DbError.
void loadGlobals(Session& session, SignInMode mode);

// The record filter of the filters stored in tblsystem over the session's reporting period.
// Throws DbError.
RecordFilter storedRecordFilter(Session& session);
// Makes `filter` the session's record filter, with its filter text, and shows its state in the
// status bar.
void useRecordFilter(Session& session, const RecordFilter& filter);
// Both of the above, and shows the reporting period in the status bar. Throws DbError.
void buildRecordFilter(Session& session);

struct [[nodiscard]] SignInOutcome {
    bool ok = false;
    bool showTips = false; // the tip of the day comes next
    QString failure;       // when not ok: the message to show, with an exclamation
};

// Sign In (or Save in report-options mode): checks the boxes, stores the settings, loads
// them, enables the data menus after a sign-in and builds the record filter. A failure leaves
// the record filter as it was.
SignInOutcome signIn(Session& session, SignInForm form, SignInMode mode,
                     const QDate& today = QDate::currentDate());

// "Reporting Period - 07/01/2006 - 06/30/2007"
QString reportingPeriodText(const Settings& settings);
// "Filter (ON)" or "Filter (OFF)"
QString filterStateText(const RecordFilter& filter);
// The record filter with its values in place, for people to read (never run as SQL).
QString recordFilterDisplay(const RecordFilter& filter);

// Stores the "Show Tips At Startup" choice and sets the menu's check mark. Throws DbError.
void setShowTips(Session& session, bool show);

// Exit confirmed: clears the stored filters when they are the current sign-in's, then
// releases the connection. Throws DbError (the connection is released all the same).
void clearFiltersAtExit(Session& session);

} // namespace orv
