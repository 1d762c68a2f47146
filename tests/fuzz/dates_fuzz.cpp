// The date readers: yyyymmdd of the extract and the dates typed at sign-in.
#include "rules/RecordRules.h"
#include "session/SignIn.h"

#include <QString>

#include <cstdlib>
#include <string_view>

using namespace orv;

namespace {

void require(bool condition) {
    if (!condition)
        std::abort();
}

void checkKey(YmdKey key) {
    if (key == 0)
        return;
    const QDate date = ymdKeyToDate(key);
    require(date.isValid());
    require(date.year() < 3001);
    require(dateToYmdKey(date) == key);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const YmdKey key = parseYmdKey(bytes);
    checkKey(key);
    require(ParseYmdDate(bytes) == ymdKeyToDate(key));

    // The same text as a value of the extract: read as a number when it is one.
    FieldValue value;
    value.text = bytes;
    value.kind = bytes.empty() ? FieldValue::Kind::Blank : FieldValue::Kind::Text;
    if (!bytes.empty() && parsePlainNumber(bytes, value.number)) {
        value.kind = FieldValue::Kind::Number;
        value.numeric = true;
    }
    checkKey(parseYmdKey(value));

    const QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    checkKey(dateToYmdKey(ParseYmdDate(text)));

    // A typed date put into short form reads back as the same date.
    const QDate today(2007, 3, 15);
    QString typed = text;
    const bool invalid = normalizeDateEntry(typed, today);
    if (text.isEmpty()) {
        require(!invalid && typed.isEmpty());
    } else if (invalid) {
        require(typed.isEmpty());
    } else {
        require(typed.size() == 10);
        const QDate date = parseDateEntry(typed, today);
        require(date.isValid() && date == parseDateEntry(text, today));
        QString again = typed;
        require(!normalizeDateEntry(again, today) && again == typed);
    }
    QString box = text;
    const QString shown = dateBoxLeft(box, today);
    require(shown.isEmpty() || box.isEmpty());
    return 0;
}
