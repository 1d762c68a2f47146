#pragma once

#include "rules/RecordLayout.h"

#include <QDate>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>
#include <string_view>

namespace orv {

// Dates travel through the checks as yyyymmdd integers: ordered like the dates, cheap to compare.
// 0 stands for "not a valid date".
using YmdKey = int;

// Where an invalid date takes part in a comparison it counts as the zero date, 30 Dec 1899, so
// it lies after the (rare) valid dates before it.
constexpr YmdKey kZeroDateKey = 18991230;

constexpr YmdKey ymdKey(int year, int month, int day) {
    return year * 10000 + month * 100 + day;
}

// yyyymmdd text to its key, 0 when the text is not a valid date. A 7-character text has a
// one-digit day ("2006101" is 1 October 2006).
YmdKey parseYmdKey(std::string_view text);
// The same for a value as read: a number is taken by its text form (012 reads as 12).
YmdKey parseYmdKey(const FieldValue& value);

// A null QDate when the text is not a valid date.
QDate ParseYmdDate(std::string_view text);
QDate ParseYmdDate(const QString& text);
QDate ParseYmdDate(const FieldValue& value);
QDate ymdKeyToDate(YmdKey key);
YmdKey dateToYmdKey(const QDate& date); // 0 for a null date

// The number of characters of the text equal to c.
int CountChar(std::string_view text, char c);
int CountChar(QStringView text, QChar c);

// The n-th field (from 1) of text split at delimiter; empty when n is 0 or there are fewer fields.
std::string_view GetDelimitedField(std::string_view text, char delimiter, int n);
QString GetDelimitedField(const QString& text, QChar delimiter, int n);

// A plain decimal number: optional sign, digits, optional point and digits, at least one digit;
// no blanks, exponent, thousands separator or currency sign. Returns false for anything else.
bool parsePlainNumberGeneral(std::string_view text, double& number);
inline bool parsePlainNumber(std::string_view text, double& number) {
    // Short runs of digits are nearly every value of an extract.
    if (!text.empty() && text.size() <= 9) {
        unsigned v = 0;
        std::size_t i = 0;
        for (; i < text.size(); ++i) {
            const unsigned d = static_cast<unsigned char>(text[i]) - unsigned('0');
            if (d > 9)
                break;
            v = v * 10 + d;
        }
        if (i == text.size()) {
            number = v;
            return true;
        }
    }
    return parsePlainNumberGeneral(text, number);
}

// Text form of a number as the master stores it in a text column: whole numbers without a
// point, others with up to 15 significant digits.
using NumberText = std::array<char, 32>;
std::string_view formatNumber(double number, NumberText& buffer);
// A value as text: a number in its text form, text as read, blank empty.
QString valueText(const FieldValue& value);

// The weight of a record is worked out in two steps, from the same four columns (employed in the
// 1st and 3rd quarters after exit, wages of those quarters):
// - ComputeRecordWeight, the weight class 0-3 the record is inserted with; comparisons with
//   blank are false. Throws TypeMismatch when a column it must compare holds text that is not
//   a number.
// - ruleWeight, the weight rules the steps after the load apply to the whole master; where one
//   applies it overrides the weight of the insert, where none does (no value) that one stays.
// A record ends with ruleWeight's weight when there is one, else with ComputeRecordWeight's.
int ComputeRecordWeight(const ExtractRecord& record);
std::optional<int> ruleWeight(const std::optional<double>& employed1,
                              const std::optional<double>& wages1,
                              const std::optional<double>& employed3,
                              const std::optional<double>& wages3);

} // namespace orv
