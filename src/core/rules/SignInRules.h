#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace orv {

// What the sign-in screen's boxes accept: dates as users type them, the fiscal year that sets
// the programme year, and the checks of a sign-in.
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
// The general date and time form, as the error report's first line shows it.
QString generalDate(const QDateTime& when);

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

} // namespace orv
