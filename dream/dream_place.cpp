#include "dream/dream_place.h"

#include "platform/settings.h"

#include <limits>

namespace kelmor::dream {

calendar::Location storedDreamPlace(const platform::SettingsStore &store)
{
    calendar::Location place; // Moscow
    place.cityName = store
                         .read(platform::LocationSection, QStringLiteral("CityName"),
                               QString::fromStdString(place.cityName))
                         .toStdString();
    const struct
    {
        const char *key;
        std::int16_t calendar::Location::*field;
    } fields[] = {
        {"SGraduses", &calendar::Location::sGraduses},
        {"SMinutes", &calendar::Location::sMinutes},
        {"SM", &calendar::Location::sM},
        {"DGraduses", &calendar::Location::dGraduses},
        {"DMinutes", &calendar::Location::dMinutes},
        {"DM", &calendar::Location::dM},
    };
    for (const auto &f : fields) {
        const std::int16_t fallback = place.*f.field;
        const int value = store.readInt(platform::LocationSection, QLatin1String(f.key), fallback);
        // A value that does not fit a 16-bit integer gives the default too.
        place.*f.field = value < std::numeric_limits<std::int16_t>::min() ||
                                 value > std::numeric_limits<std::int16_t>::max()
                             ? fallback
                             : std::int16_t(value);
    }
    place.derive();
    return place;
}

} // namespace kelmor::dream
