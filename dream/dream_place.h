#pragma once

// The user's place for the calendar part of a dream report.

#include "calendar/location.h"

namespace kelmor::platform {
class SettingsStore;
}

namespace kelmor::dream {

// The place stored in the settings (section "UserLocation": CityName, SGraduses, SMinutes, SM,
// DGraduses, DMinutes, DM), with Moscow's values for what is missing or does not convert.
calendar::Location storedDreamPlace(const platform::SettingsStore &store);

} // namespace kelmor::dream
