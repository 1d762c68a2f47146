#pragma once

#include "rules/FieldChecks.h"
#include "rules/RecordLayout.h"

#include <QStringList>

namespace orv {

struct [[nodiscard]] CrossCheckResult {
    // Complete entries: "Error with OBS code - ", column 1, ". ", the rule text.
    QStringList messages;
    // How many of the messages are warnings (their text contains "WARNING!").
    int warnings = 0;

    // A record with any message that is not a warning stays out of the master.
    bool hasErrors() const { return messages.size() > warnings; }
};

// The cross-field checks of a record that passed the field checks, in their fixed order. A rule
// that has to compare text that is not a number reports "Type mismatch" as its message (an
// error) and the next rule runs.
CrossCheckResult CrossCheckRecord(const ExtractRecord& record, const CheckContext& context);

} // namespace orv
