#pragma once

#include "worksheet/SampleList.h"

#include <QString>
#include <QVariant>

#include <array>
#include <optional>

namespace orv {

class Database;
class FrontEnd;

// The four exception flags of a whole record; the numbers are their codes.
enum class ExceptionFlag { WrongSsn = 1, InvalidRecord = 2, UnableToLocate = 3, MissingRecord = 4 };
inline constexpr ExceptionFlag kExceptionFlags[] = {
    ExceptionFlag::WrongSsn, ExceptionFlag::InvalidRecord, ExceptionFlag::UnableToLocate,
    ExceptionFlag::MissingRecord};
// The flag's column in tblsample.
const char* flagColumn(ExceptionFlag flag);

inline const QString kDeleteResultsQuestion =
    QStringLiteral("Selecting this will delete the validation results for this record.");

struct WorksheetLine {
    QString label; // "8. BasicTRA"
    QString value; // the reported value, empty for Null
    Mark mark = Mark::None;
    bool enabled = true;
};

// The worksheet of one sampled record: what the validator sees and clicks, with the rules that
// tie the marks, the exception flags and the completion together. The screen and the batch
// front end only forward clicks and keys to it; nothing reaches the database before save().
class Worksheet {
public:
    // The sample row with this rowid; nothing when there is none. Throws DbError.
    static std::optional<Worksheet> load(Database& db, qint64 rowId);

    qint64 rowId() const { return mRowId; }
    QString obs() const { return mObs; }
    QString ssn() const { return mSsn; }
    // "999999", the unit of records drawn without one, shows empty.
    QString samplingUnit() const { return mSamplingUnit; }
    QString wibName() const { return mWibName; }
    QString officeName() const { return mOfficeName; }
    QString userId() const { return mUserId; }
    // "Completed" or "Not Completed", as stored when the worksheet was opened.
    QString statusText() const;

    const WorksheetLine& line(int i) const { return mLines[i]; }
    bool flag(ExceptionFlag f) const { return mFlags[index(f)]; }
    QString comments() const { return mComments; }
    void setComments(const QString& text);
    // Empties the stored comment at save(), which an empty setComments() never does.
    void clearComments();

    // A click on a line's Pass or Fail box: checks it (and clears the other box of the line),
    // or clears it when it was checked. A disabled line ignores clicks.
    void clickPass(int line);
    void clickFail(int line);
    // Sets a line's mark outright (keys P, F and Space). A disabled line ignores it.
    void setMark(int line, Mark mark);

    // A click on a flag's box, which toggles it. Invalid Record, Unable To Locate and Missing
    // Record ask before they are checked; Cancel leaves the box unchecked. Either way the other
    // flags are cleared, and those three decide which lines are enabled: set, every line is
    // disabled and its mark cleared; none set, a line is enabled when it reports a value. Wrong
    // SSN changes the lines only when it clears one of those three.
    void clickFlag(ExceptionFlag f, FrontEnd& ui);

    // A line counts as done when it is marked or cannot be marked.
    bool isDone(int line) const;
    int doneCount() const;
    // What save() stores in chk: any of Invalid Record, Unable To Locate and Missing Record, or
    // every line done. Wrong SSN alone completes nothing.
    bool isComplete() const;
    bool isModified() const;

    // Writes the marks, flags, comments (unless the box is empty and not cleared) and chk to the
    // sample row, and in the same transaction one history row per stored value that changed,
    // under source ("screen", "batch", a pack's).
    // Throws DbError, also when the row no longer holds the record that was opened; then
    // nothing is written.
    void save(Database& db, const QString& source) const;

private:
    Worksheet() = default;
    static int index(ExceptionFlag f) { return static_cast<int>(f) - 1; }
    void applyExceptionFlag(ExceptionFlag f, bool wasBlocked);
    bool linesBlocked() const;
    void mark(int line, Mark mark);

    qint64 mRowId = 0;
    QVariant mKeyObs, mKeySsn, mKeyRandno;
    QString mObs, mSsn, mSamplingUnit, mWibName, mOfficeName, mUserId;
    bool mStoredComplete = false;
    std::array<WorksheetLine, kElementCount> mLines;
    std::array<bool, 4> mFlags{};
    QString mComments;
    bool mClearComments = false;
    std::array<Mark, kElementCount> mLoadedMarks{};
    std::array<bool, 4> mLoadedFlags{};
    QString mLoadedComments;
};

} // namespace orv
