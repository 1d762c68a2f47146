#include "rules/RecordLayout.h"

namespace orv {

namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

int extractColumnPos(std::string_view masterName) {
    for (const ExtractColumn& c : kExtractLayout)
        if (equalsNoCase(c.master, masterName))
            return c.pos;
    return 0;
}

} // namespace orv
