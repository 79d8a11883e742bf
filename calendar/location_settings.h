#pragma once

// The observer's place as the settings store keeps it (section "UserLocation").

#include "calendar/location.h"

#include <QString>

#include <QList>
#include <QPair>
#include <QString>

namespace kelmor::platform {
class SettingsStore;
}

namespace kelmor::calendar {

// Reads CityName and the six numeric keys and derives the decimal degrees. A value that is
// missing, does not convert, or lies outside its range (latitude degrees 0..90, longitude
// degrees 0..180, minutes 0..59, signs 1 or -1) gives that key's default, so a damaged file can
// never put the observer thousands of degrees away.
Location readLocation(const platform::SettingsStore &store);

// The keys and their texts for a place, in the order they are stored: the name, the longitude
// (degrees, minutes, sign), then the latitude.
QList<QPair<QString, QString>> locationSettings(const Location &place);

// Writes the place's keys in that order; readLocation gives the place back.
void writeLocation(platform::SettingsStore &store, const Location &place);

// The place's coordinates as the calendar writes them: "55°45' с.ш.  37°35' в.д" (degrees and
// minutes with their hemispheres; "в.д" without a final point).
QString coordinatesText(const Location &place);

} // namespace kelmor::calendar
