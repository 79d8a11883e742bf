#include "calendar/location_settings.h"

#include "platform/settings.h"

namespace kelmor::calendar {

namespace {

// The stored value when it is a whole number within [low, high], else the default.
std::int16_t readInRange(const platform::SettingsStore &store, const char *key, int low, int high,
                         std::int16_t defaultValue)
{
    const int value =
        store.readInt(platform::LocationSection, QString::fromLatin1(key), defaultValue);
    return value >= low && value <= high ? std::int16_t(value) : defaultValue;
}

// A hemisphere sign: 1 (north or east) or -1 (south or west); anything else is the default.
std::int16_t readSign(const platform::SettingsStore &store, const char *key)
{
    const int value = store.readInt(platform::LocationSection, QString::fromLatin1(key), 1);
    return value == -1 ? std::int16_t(-1) : std::int16_t(1);
}

} // namespace

Location readLocation(const platform::SettingsStore &store)
{
    const Location defaults;
    Location place;
    place.cityName = store
                         .read(platform::LocationSection, QStringLiteral("CityName"),
                               QString::fromStdString(defaults.cityName))
                         .toStdString();
    place.sGraduses = readInRange(store, "SGraduses", 0, 90, defaults.sGraduses);
    place.sMinutes = readInRange(store, "SMinutes", 0, 59, defaults.sMinutes);
    place.sM = readSign(store, "SM");
    place.dGraduses = readInRange(store, "DGraduses", 0, 180, defaults.dGraduses);
    place.dMinutes = readInRange(store, "DMinutes", 0, 59, defaults.dMinutes);
    place.dM = readSign(store, "DM");
    place.derive();
    return place;
}

QList<QPair<QString, QString>> locationSettings(const Location &place)
{
    const auto number = [](std::int16_t value) { return QString::number(value); };
    return {
        {QStringLiteral("CityName"), QString::fromStdString(place.cityName)},
        {QStringLiteral("DGraduses"), number(place.dGraduses)},
        {QStringLiteral("DMinutes"), number(place.dMinutes)},
        {QStringLiteral("DM"), number(place.dM)},
        {QStringLiteral("SGraduses"), number(place.sGraduses)},
        {QStringLiteral("SMinutes"), number(place.sMinutes)},
        {QStringLiteral("SM"), number(place.sM)},
    };
}

void writeLocation(platform::SettingsStore &store, const Location &place)
{
    for (const auto &[key, value] : locationSettings(place))
        store.write(platform::LocationSection, key, value);
}

QString coordinatesText(const Location &place)
{
    return QStringLiteral("%1°%2' %3  %4°%5' %6")
        .arg(place.sGraduses)
        .arg(place.sMinutes)
        .arg(place.sM == -1 ? QStringLiteral("ю.ш.") : QStringLiteral("с.ш."))
        .arg(place.dGraduses)
        .arg(place.dMinutes)
        .arg(place.dM == -1 ? QStringLiteral("з.д.") : QStringLiteral("в.д"));
}

} // namespace kelmor::calendar
