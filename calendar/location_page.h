#pragma once

// The location page of the options window apart from its widgets: the settlement's name and the
// item indexes of its six lists. CityIni fills it from the observer's place, the user or the city
// directory change it, and the location half of ApplySettings stores it back.

#include "calendar/city_directory.h"
#include "calendar/location.h"

#include <QString>
#include <QStringList>

namespace kelmor::platform {
class SettingsStore;
}

namespace kelmor::calendar {

struct LocationPage
{
    // The lists' items. In every degrees and minutes list the item index is the value; in the
    // hemisphere lists index 0 is north / east and index 1 south / west.
    static QStringList latitudeDegreeItems();      // "0°" … "90°"
    static QStringList longitudeDegreeItems();     // "0°" … "180°"
    static QStringList minuteItems();              // "0'" … "59'"
    static QStringList latitudeHemisphereItems();  // "С.ш.", "Ю.ш."
    static QStringList longitudeHemisphereItems(); // "В.д.", "З.д."

    // CityIni: the page for a place, the name being the stored "CityName" (default "Москва").
    static LocationPage CityIni(const Location &place, const platform::SettingsStore &store);

    // Takes a settlement chosen in the city directory. A choice whose degrees or minutes lie
    // outside the lists is refused: false, and the page stays as it was.
    bool take(const CityChoice &choice);

    // The place the page shows, its decimal degrees derived. An index outside its list counts as
    // the nearest item.
    Location place() const;

    // The location half of ApplySettings: the place the page shows, written to the store in the
    // order of locationSettings (name, longitude, latitude).
    Location ApplySettings(platform::SettingsStore &store) const;

    // The settlement's name as typed or chosen, and the item index of each list.
    QString name;
    int latitudeDegrees = 0;
    int latitudeMinutes = 0;
    int latitudeHemisphere = 0;
    int longitudeDegrees = 0;
    int longitudeMinutes = 0;
    int longitudeHemisphere = 0;

    friend bool operator==(const LocationPage &, const LocationPage &) = default;
};

} // namespace kelmor::calendar
