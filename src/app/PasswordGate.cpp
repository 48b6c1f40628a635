#include "PasswordGate.h"

#include <utility>

namespace kivo {

PasswordGate::PasswordGate(Clock clock) : m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = &QDateTime::currentDateTime;
}

QString PasswordGate::getTwoDigitDay(const QDateTime &now)
{
    const QString day =
        now.isValid() ? now.toLocalTime().toString(QStringLiteral("dd")) : QString();
    return day.isEmpty() ? QStringLiteral("00") : day;
}

QString PasswordGate::getTwoDigitDay() const
{
    return getTwoDigitDay(m_clock());
}

QString PasswordGate::currentPassword() const
{
    return QString::fromLatin1(kPrefix) + getTwoDigitDay();
}

bool PasswordGate::isPasswordCorrect(const QString &entered) const
{
    return entered.compare(currentPassword(), Qt::CaseInsensitive) == 0;
}

} // namespace kivo
