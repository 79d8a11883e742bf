#include "platform/qt_timezone.h"

#include <QDateTime>

#include <memory>

namespace kelmor::platform {

QtTimeZoneProvider::QtTimeZoneProvider()
    : m_zone(QTimeZone::systemTimeZone())
{
}

QtTimeZoneProvider::QtTimeZoneProvider(const QTimeZone &zone)
    : m_zone(zone)
{
}

int QtTimeZoneProvider::offsetSecondsAtUtc(std::int64_t utcEpochSeconds) const
{
    // An unknown zone (no TZ and no /etc/localtime) counts as universal time.
    if (!m_zone.isValid())
        return 0;
    return m_zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utcEpochSeconds, Qt::UTC));
}

void installSystemTimeZone()
{
    astro::setDefaultTimeZoneProvider(std::make_shared<const QtTimeZoneProvider>());
}

} // namespace kelmor::platform
