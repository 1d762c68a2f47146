#include "rules/SignInRules.h"

#include <QLocale>

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

} // namespace

QString shortDate(const QDate& date) {
    return date.isValid() ? date.toString(QStringLiteral("MM/dd/yyyy")) : QString("");
}

QString generalDate(const QDateTime& when) {
    return QLocale::c().toString(when, QStringLiteral("M/d/yyyy h:mm:ss AP"));
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

} // namespace orv
