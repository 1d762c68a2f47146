#pragma once

#include "rules/RecordLayout.h"
#include "rules/RecordRules.h"

#include <QStringList>

#include <deque>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Compares lists of messages and prints them readably on failure.
#define EXPECT_LIST_EQ(a, b) EXPECT_EQ(::orv::test::utf8(a), ::orv::test::utf8(b))

namespace orv::test {

// QStringList as std::string, so that failures print readable text.
inline std::vector<std::string> utf8(const QStringList& list) {
    std::vector<std::string> out;
    for (const QString& s : list)
        out.push_back(s.toStdString());
    return out;
}

// Builds records as the reader would deliver them, starting from one that passes every check.
class RecordBuilder {
public:
    RecordBuilder() {
        static constexpr std::string_view kClean[kExtractColumns] = {
            "17",       "CA",     "123456789", "19700101", "1",
            "1",        "1",      "0",         "0",        "0", // 1-10
            "0",        "0",      "1",         "1",        "2",
            "1",        "2",      "12",        "20060115", "5.5", // 11-20
            "20060201", "12345",  "1",         "20060301", "20060401",
            "20060801", "1",      "2",         "2",        "", // 21-30
            "1",        "2",      "2",         "2",        "1",
            "2",        "2",      "0",         "2",        "2", // 31-40
            "",         "0",      "20061015",  "0",        "1",
            "1",        "512092", "1",         "1",        "1", // 41-50
            "1",        "5000",   "6000",      "7000",     "8000",
            "8500",     "9000",   "2",         "2",        "", // 51-60
            "North",    "",       "1",         ""};            // 61-64
        for (int c = 1; c <= kExtractColumns; ++c)
            set(c, kClean[c - 1]);
        quoted(30, "47201100");
        quoted(60, "Main office");
        quoted(62, "Smith");
        quoted(64, "u1");
    }

    RecordBuilder(const RecordBuilder&) = delete; // the values point into mStore
    RecordBuilder& operator=(const RecordBuilder&) = delete;

    // An unquoted value: blank, a number or text.
    RecordBuilder& set(int col, std::string_view value) {
        FieldValue& v = mRecord.col(col);
        v = FieldValue{};
        if (value.empty())
            return *this;
        v.text = keep(value);
        v.numeric = parsePlainNumber(v.text, v.number);
        v.kind = v.numeric ? FieldValue::Kind::Number : FieldValue::Kind::Text;
        return *this;
    }
    RecordBuilder& set(std::initializer_list<std::pair<int, std::string_view>> values) {
        for (const auto& [col, value] : values)
            set(col, value);
        return *this;
    }
    // A quoted value: always text, which may still read as a number.
    RecordBuilder& quoted(int col, std::string_view value) {
        FieldValue& v = mRecord.col(col);
        v = FieldValue{};
        if (value.empty())
            return *this;
        v.kind = FieldValue::Kind::Text;
        v.text = keep(value);
        const auto first = value.find_first_not_of(" \t");
        const auto last = value.find_last_not_of(" \t");
        if (first != std::string_view::npos)
            v.numeric = parsePlainNumber(value.substr(first, last - first + 1), v.number);
        return *this;
    }

    const ExtractRecord& record() const { return mRecord; }
    operator const ExtractRecord&() const { return mRecord; }

private:
    std::string_view keep(std::string_view s) { return mStore.emplace_back(s); }

    std::deque<std::string> mStore;
    ExtractRecord mRecord;
};

} // namespace orv::test
