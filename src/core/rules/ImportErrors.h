#pragma once

#include <QString>

#include <stdexcept>

namespace orv {

// A value read as text in a number column had to be compared as a number. The description
// contains "mismatch", which is how the import recognises it and stops.
class TypeMismatch : public std::runtime_error {
public:
    explicit TypeMismatch(int column) : std::runtime_error("Type mismatch"), mColumn(column) {}
    // The file column (1-based) whose value could not be compared.
    int column() const { return mColumn; }
    QString message() const { return QStringLiteral("Type mismatch"); }

private:
    int mColumn;
};

// The obs as an entry quotes it: a field can be nearly as long as a line, and an entry is read
// by a person.
inline QString entryObs(const QString& obs) {
    constexpr qsizetype kMax = 60;
    if (obs.size() <= kMax)
        return obs;
    return obs.left(kMax) + QChar(0x2026);
}

} // namespace orv
