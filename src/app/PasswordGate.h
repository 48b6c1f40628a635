#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

namespace kivo {

// The password that guards the choice of the main images folder: a fixed
// four-digit prefix followed by today's day of the month as two digits, in
// local time, so it changes at local midnight.
class PasswordGate
{
public:
    using Clock = std::function<QDateTime()>;

    static constexpr char kPrefix[] = "7394";

    explicit PasswordGate(Clock clock = &QDateTime::currentDateTime);

    // The local day of the month of now as two digits ("dd"); "00" when no
    // date text can be formed.
    static QString getTwoDigitDay(const QDateTime &now);
    QString getTwoDigitDay() const;

    // The password in force now.
    QString currentPassword() const;

    // True when entered equals the current password, ignoring case.
    bool isPasswordCorrect(const QString &entered) const;

private:
    Clock m_clock;
};

} // namespace kivo
