#pragma once

#include "session/DatabaseFiles.h"

#include <QString>

#include <optional>

namespace orv::test {

// How a file command ended: its result, or what its failure tells the user.
struct FileOutcome {
    std::optional<FileResult> result;
    QString text;
    Icon icon = Icon::None;
    bool endsProgram = false;
    bool failed() const { return !result; }
};

template <typename Command> FileOutcome outcomeOf(Command command) {
    try {
        FileOutcome done;
        done.result = command();
        return done;
    } catch (const FileCommandError& e) {
        return {std::nullopt, e.message(), e.icon(), e.endsProgram()};
    }
}

} // namespace orv::test
