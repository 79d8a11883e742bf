#pragma once

#include "astro/mTime.h"

#include <QTimeZone>

namespace kelmor::platform {

// The astronomy engine's time-zone source backed by QTimeZone: the offset of local clock time
// from universal time in force at each instant, daylight saving time included.
class QtTimeZoneProvider : public astro::TimeZoneProvider
{
public:
    // The system's zone (the TZ variable, else /etc/localtime) as it is at construction.
    QtTimeZoneProvider();
    explicit QtTimeZoneProvider(const QTimeZone &zone);

    int offsetSecondsAtUtc(std::int64_t utcEpochSeconds) const override;

    const QTimeZone &zone() const { return m_zone; }

private:
    QTimeZone m_zone;
};

// Makes the system's zone the engine's default provider (used by the conversions that take no
// provider). Call again after the system zone changed.
void installSystemTimeZone();

} // namespace kelmor::platform
