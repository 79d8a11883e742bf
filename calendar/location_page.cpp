#include "calendar/location_page.h"

#include "calendar/location_settings.h"
#include "platform/settings.h"

#include <algorithm>

namespace kelmor::calendar {

namespace {

constexpr int MaxLatitudeDegrees = 90;
constexpr int MaxLongitudeDegrees = 180;
constexpr int MaxMinutes = 59;

QStringList numbered(int last, QChar suffix)
{
    QStringList items;
    items.reserve(last + 1);
    for (int value = 0; value <= last; ++value)
        items << QString::number(value) + suffix;
    return items;
}

bool within(int value, int last)
{
    return value >= 0 && value <= last;
}

std::int16_t clamped(int value, int last)
{
    return std::int16_t(std::clamp(value, 0, last));
}

} // namespace

QStringList LocationPage::latitudeDegreeItems()
{
    return numbered(MaxLatitudeDegrees, QChar(0x00B0));
}

QStringList LocationPage::longitudeDegreeItems()
{
    return numbered(MaxLongitudeDegrees, QChar(0x00B0));
}

QStringList LocationPage::minuteItems()
{
    return numbered(MaxMinutes, QLatin1Char('\''));
}

QStringList LocationPage::latitudeHemisphereItems()
{
    return {QStringLiteral("С.ш."), QStringLiteral("Ю.ш.")};
}

QStringList LocationPage::longitudeHemisphereItems()
{
    return {QStringLiteral("В.д."), QStringLiteral("З.д.")};
}

LocationPage LocationPage::CityIni(const Location &place, const platform::SettingsStore &store)
{
    LocationPage page;
    page.latitudeDegrees = place.sGraduses;
    page.latitudeMinutes = place.sMinutes;
    page.latitudeHemisphere = place.sM == 1 ? 0 : 1;
    page.longitudeMinutes = place.dMinutes;
    page.longitudeDegrees = place.dGraduses;
    page.longitudeHemisphere = place.dM == 1 ? 0 : 1;
    page.name = store.read(platform::LocationSection, QStringLiteral("CityName"),
                           QString::fromStdString(Location().cityName));
    return page;
}

bool LocationPage::take(const CityChoice &choice)
{
    if (!within(choice.latitudeDegrees, MaxLatitudeDegrees) ||
        !within(choice.latitudeMinutes, MaxMinutes) ||
        !within(choice.longitudeDegrees, MaxLongitudeDegrees) ||
        !within(choice.longitudeMinutes, MaxMinutes) || !within(choice.latitudeHemisphere, 1) ||
        !within(choice.longitudeHemisphere, 1))
        return false;
    name = choice.name;
    latitudeDegrees = choice.latitudeDegrees;
    latitudeMinutes = choice.latitudeMinutes;
    latitudeHemisphere = choice.latitudeHemisphere;
    longitudeDegrees = choice.longitudeDegrees;
    longitudeMinutes = choice.longitudeMinutes;
    longitudeHemisphere = choice.longitudeHemisphere;
    return true;
}

Location LocationPage::place() const
{
    Location place;
    place.cityName = name.toStdString();
    place.dGraduses = clamped(longitudeDegrees, MaxLongitudeDegrees);
    place.dMinutes = clamped(longitudeMinutes, MaxMinutes);
    place.dM = longitudeHemisphere == 0 ? 1 : -1;
    place.sGraduses = clamped(latitudeDegrees, MaxLatitudeDegrees);
    place.sMinutes = clamped(latitudeMinutes, MaxMinutes);
    place.sM = latitudeHemisphere == 0 ? 1 : -1;
    place.derive();
    return place;
}

Location LocationPage::ApplySettings(platform::SettingsStore &store) const
{
    const Location stored = place();
    writeLocation(store, stored);
    return stored;
}

} // namespace kelmor::calendar
