#pragma once

#include <QString>

#include <stdexcept>

namespace orv {

// What every failure core reports carries: the message a user reads, as it is to be shown, and
// whether the database was left changed. Work on the database runs in transactions, so a
// failure leaves it as it was unless it says otherwise. Front ends show the message; core
// never does.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message, bool databaseChanged = false)
        : std::runtime_error(message.toStdString()), mDatabaseChanged(databaseChanged) {}
    QString message() const { return QString::fromStdString(what()); }
    bool databaseChanged() const { return mDatabaseChanged; }

private:
    bool mDatabaseChanged;
};

} // namespace orv
