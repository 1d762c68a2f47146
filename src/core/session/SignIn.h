#pragma once

#include "rules/RecordFilter.h"
#include "rules/SignInRules.h"

#include <QDate>
#include <QString>
#include <QStringList>

namespace orv {

class Session;
struct Settings;

// The sign-in screen serves two purposes: signing in after a database is opened, and
// changing the reporting period and the record filters later.
enum class SignInMode { SignIn, ReportOptions };

// Reads the stored settings into the boxes of the screen for its mode, and the state and the
// filter globals into the session. Throws DbError.
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
// tells the front end whether tips show at start-up. Throws DbError.
void loadGlobals(Session& session, SignInMode mode);

// The record filter of the filters stored in tblsystem over the session's reporting period.
// Throws DbError.
RecordFilter storedRecordFilter(Session& session);
// Makes the stored filter the session's record filter and tells the front end the reporting
// period. Throws DbError.
void buildRecordFilter(Session& session);

struct [[nodiscard]] SignInOutcome {
    bool ok = false;
    bool showTips = false; // the tip of the day comes next
    QString failure;       // when not ok: the message to show, with an exclamation
};

// Sign In (or Save in report-options mode): checks the boxes, stores the settings, loads
// them, tells the front end of a sign-in and builds the record filter. A failure leaves
// the record filter as it was.
SignInOutcome signIn(Session& session, SignInForm form, SignInMode mode,
                     const QDate& today = QDate::currentDate());

// "Reporting Period - 07/01/2006 - 06/30/2007"
QString reportingPeriodText(const Settings& settings);
// "Filter (ON)" or "Filter (OFF)"
QString filterStateText(const RecordFilter& filter);
// The record filter with its values in place, for people to read (never run as SQL).
QString recordFilterDisplay(const RecordFilter& filter);

// Stores the "Show Tips At Startup" choice and tells the front end. Throws DbError.
void setShowTips(Session& session, bool show);

// Exit confirmed: clears the stored filters when they are the current sign-in's, then
// releases the connection. Throws DbError (the connection is released all the same).
void clearFiltersAtExit(Session& session);

} // namespace orv
