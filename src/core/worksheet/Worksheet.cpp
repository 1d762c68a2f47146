#include "worksheet/Worksheet.h"

#include "db/Database.h"
#include "db/Savepoint.h"
#include "program/FrontEnd.h"
#include "worksheet/History.h"

namespace orv {

namespace {

// Element lines 1 to 12 cannot be marked when the record reports nothing for them; the
// earnings lines can (an empty earning may still be wrong).
constexpr int kLinesNeedingValue = 12;

bool isSet(const QVariant& flag) {
    return !flag.isNull() && flag.toDouble() != 0;
}

QVariant markValue(Mark mark) {
    switch (mark) {
    case Mark::Pass:
        return 0;
    case Mark::Fail:
        return 1;
    case Mark::None:
        break;
    }
    return {};
}

} // namespace

const char* flagColumn(ExceptionFlag flag) {
    switch (flag) {
    case ExceptionFlag::WrongSsn:
        return "WrongSSN";
    case ExceptionFlag::InvalidRecord:
        return "InvalidRecord";
    case ExceptionFlag::UnableToLocate:
        return "UnableToLocate";
    case ExceptionFlag::MissingRecord:
        return "MissingRecord";
    }
    return "";
}

std::optional<Worksheet> Worksheet::load(Database& db, qint64 rowId) {
    QString sql = QStringLiteral("SELECT ");
    for (const DataElement& e : kDataElements)
        sql += quotedColumn(e.valueColumn) + QLatin1Char(',') + quotedColumn(e.markColumn) +
               QLatin1Char(',');
    sql += QStringLiteral("obs, ssn, SamplingUnit, UserId, Comments, OfficeName, WibName, chk, "
                          "randno");
    for (ExceptionFlag f : kExceptionFlags)
        sql += QStringLiteral(", ") + QString::fromLatin1(flagColumn(f));
    sql += QStringLiteral(" FROM tblsample WHERE rowid = ?");
    Statement st = db.prepare(sql.toStdString());
    st.bind(1, static_cast<std::int64_t>(rowId));
    if (!st.step())
        return std::nullopt;

    Worksheet w;
    w.mRowId = rowId;
    int c = 2 * kElementCount;
    w.mKeyObs = st.value(c);
    w.mObs = displayText(w.mKeyObs);
    w.mKeySsn = st.value(c + 1);
    w.mSsn = displayText(w.mKeySsn);
    w.mSamplingUnit = displayText(st.value(c + 2));
    if (w.mSamplingUnit == QLatin1String("999999"))
        w.mSamplingUnit.clear();
    w.mUserId = displayText(st.value(c + 3));
    w.mComments = displayText(st.value(c + 4));
    w.mOfficeName = displayText(st.value(c + 5));
    w.mWibName = displayText(st.value(c + 6));
    w.mStoredComplete = st.text(c + 7).compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0;
    w.mKeyRandno = st.value(c + 8);
    for (int f = 0; f < 4; ++f)
        w.mFlags[f] = isSet(st.value(c + 9 + f));

    const bool missing = w.flag(ExceptionFlag::MissingRecord);
    for (int i = 0; i < kElementCount; ++i) {
        WorksheetLine& line = w.mLines[i];
        line.label = QString::number(i + 1) + QStringLiteral(". ") +
                     QString::fromLatin1(kDataElements[i].worksheetName);
        line.value = displayText(st.value(2 * i));
        line.mark = markFromValue(st.value(2 * i + 1));
        line.enabled = !((i < kLinesNeedingValue && line.value.isEmpty()) || missing);
        w.mLoadedMarks[i] = line.mark;
    }
    w.mLoadedFlags = w.mFlags;
    w.mLoadedComments = w.mComments;
    return w;
}

QString Worksheet::statusText() const {
    return mStoredComplete ? QStringLiteral("Completed") : QStringLiteral("Not Completed");
}

void Worksheet::setComments(const QString& text) {
    mComments = text;
    mClearComments = false;
}

void Worksheet::clearComments() {
    mComments.clear();
    mClearComments = true;
}

void Worksheet::mark(int line, Mark m) {
    if (line < 0 || line >= kElementCount || !mLines[line].enabled)
        return;
    mLines[line].mark = m;
}

void Worksheet::clickPass(int line) {
    if (line >= 0 && line < kElementCount)
        mark(line, mLines[line].mark == Mark::Pass ? Mark::None : Mark::Pass);
}

void Worksheet::clickFail(int line) {
    if (line >= 0 && line < kElementCount)
        mark(line, mLines[line].mark == Mark::Fail ? Mark::None : Mark::Fail);
}

void Worksheet::setMark(int line, Mark m) {
    mark(line, m);
}

void Worksheet::clickFlag(ExceptionFlag f, FrontEnd& ui) {
    const bool wasBlocked = linesBlocked();
    const bool checked = !flag(f);
    mFlags[index(f)] = checked;
    if (f != ExceptionFlag::WrongSsn && checked &&
        !ui.ask(QuestionId::DeleteResults, kDeleteResultsQuestion, Icon::Exclamation, true))
        mFlags[index(f)] = false;
    applyExceptionFlag(f, wasBlocked);
}

bool Worksheet::linesBlocked() const {
    return flag(ExceptionFlag::MissingRecord) || flag(ExceptionFlag::InvalidRecord) ||
           flag(ExceptionFlag::UnableToLocate);
}

void Worksheet::applyExceptionFlag(ExceptionFlag f, bool wasBlocked) {
    for (ExceptionFlag other : kExceptionFlags)
        if (other != f)
            mFlags[index(other)] = false;
    // Wrong SSN leaves the lines alone, unless it just cleared the flag that disabled them: left
    // disabled, they would count as done and complete a record nobody checked.
    if (f == ExceptionFlag::WrongSsn && !wasBlocked)
        return;
    const bool blocked = linesBlocked();
    for (WorksheetLine& line : mLines) {
        if (blocked) {
            line.enabled = false;
            line.mark = Mark::None;
        } else {
            line.enabled = !line.value.isEmpty();
        }
    }
}

bool Worksheet::isDone(int line) const {
    const WorksheetLine& l = mLines[line];
    return l.mark != Mark::None || !l.enabled;
}

int Worksheet::doneCount() const {
    int done = 0;
    for (int i = 0; i < kElementCount; ++i)
        done += isDone(i) ? 1 : 0;
    return done;
}

bool Worksheet::isComplete() const {
    return linesBlocked() || doneCount() == kElementCount;
}

bool Worksheet::isModified() const {
    for (int i = 0; i < kElementCount; ++i)
        if (mLines[i].mark != mLoadedMarks[i])
            return true;
    return mFlags != mLoadedFlags || mComments != mLoadedComments ||
           (mClearComments && !mLoadedComments.isEmpty());
}

void Worksheet::save(Database& db, const QString& source) const {
    Savepoint sp(db, "worksheet_save");
    const std::optional<WorksheetValues> before = readWorksheetValues(db, mRowId);
    QString sql = QStringLiteral("UPDATE tblsample SET ");
    QVariantList params;
    for (int i = 0; i < kElementCount; ++i) {
        sql += quotedColumn(kDataElements[i].markColumn) + QStringLiteral(" = ?, ");
        params << markValue(mLines[i].mark);
    }
    for (ExceptionFlag f : kExceptionFlags) {
        sql += QString::fromLatin1(flagColumn(f)) + QStringLiteral(" = ?, ");
        params << (flag(f) ? 1 : 0);
    }
    // An emptied box keeps the stored comment; only clearComments() removes it.
    if (!mComments.isEmpty() || mClearComments) {
        sql += QStringLiteral("Comments = ?, ");
        params << (mClearComments ? QVariant() : QVariant(mComments));
    }
    sql += QStringLiteral("chk = ? WHERE rowid = ? AND obs IS ? AND ssn IS ? AND randno IS ?");
    params << (isComplete() ? QStringLiteral("Yes") : QStringLiteral("No"))
           << QVariant::fromValue<qlonglong>(mRowId) << mKeyObs << mKeySsn << mKeyRandno;
    // A new import or a compact may have put another record in this row since it was opened.
    if (db.execute(sql.toStdString(), params) != 1)
        throw DbError(QStringLiteral("The sample has changed since this worksheet was opened: "
                                     "OBS %1 was not saved. Open its worksheet again.")
                          .arg(mObs));
    // What is stored, not what the screen held: an emptied box keeps the comment.
    appendWorksheetHistory(db, source, mKeyObs, mKeySsn, before.value_or(WorksheetValues()),
                           readWorksheetValues(db, mRowId).value_or(WorksheetValues()));
    sp.release();
}

} // namespace orv
