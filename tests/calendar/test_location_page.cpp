// The observer's place on the location page of the options: the lists, filling the page from the
// place (CityIni), a choice from the city directory, and storing it back (the location half of
// ApplySettings) in its key order, read back by the program's load.

#include "calendar/city_directory.h"
#include "calendar/location_page.h"
#include "calendar/location_settings.h"
#include "platform/settings.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

using namespace kelmor::calendar;
using kelmor::platform::LocationSection;
using kelmor::platform::SettingsStore;

namespace {

class LocationPageTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("ZEL_Programming.conf")); }
    SettingsStore store = SettingsStore::atFile(path());

    // A key as the file holds it, through a fresh reader.
    QString stored(const char *key)
    {
        store.sync();
        QSettings raw(path(), QSettings::IniFormat);
        return raw.value(LocationSection + QLatin1Char('/') + QLatin1String(key)).toString();
    }
};

LocationPage page(const char *name, int latD, int latM, int latH, int lonD, int lonM, int lonH)
{
    LocationPage p;
    p.name = QString::fromUtf8(name);
    p.latitudeDegrees = latD;
    p.latitudeMinutes = latM;
    p.latitudeHemisphere = latH;
    p.longitudeDegrees = lonD;
    p.longitudeMinutes = lonM;
    p.longitudeHemisphere = lonH;
    return p;
}

} // namespace

TEST(LocationPageLists, EveryItemIsItsIndexFollowedByItsSign)
{
    const struct
    {
        QStringList items;
        int last;
        const char *suffix;
    } lists[] = {
        {LocationPage::latitudeDegreeItems(), 90, "°"},
        {LocationPage::longitudeDegreeItems(), 180, "°"},
        {LocationPage::minuteItems(), 59, "'"},
    };
    for (const auto &list : lists) {
        ASSERT_EQ(list.items.size(), list.last + 1) << list.suffix;
        for (int i = 0; i <= list.last; ++i) {
            ASSERT_EQ(list.items[i], QString::number(i) + QString::fromUtf8(list.suffix));
            // The number before the sign is what the page stores.
            ASSERT_EQ(leadingNumber(list.items[i]), i);
        }
    }
    EXPECT_EQ(LocationPage::latitudeHemisphereItems(), QStringList({"С.ш.", "Ю.ш."}));
    EXPECT_EQ(LocationPage::longitudeHemisphereItems(), QStringList({"В.д.", "З.д."}));
}

TEST_F(LocationPageTest, CityIniShowsThePlaceAndTheStoredName)
{
    // Nothing stored: Moscow, 55°45' north, 37°35' east.
    EXPECT_EQ(LocationPage::CityIni(Location(), store), page("Москва", 55, 45, 0, 37, 35, 0));

    // Sydney, 33°52' south, 151°13' east; the name comes from the store, not from the place.
    Location sydney;
    sydney.cityName = "Не отсюда";
    sydney.sGraduses = 33;
    sydney.sMinutes = 52;
    sydney.sM = -1;
    sydney.dGraduses = 151;
    sydney.dMinutes = 13;
    sydney.dM = 1;
    store.write(LocationSection, QStringLiteral("CityName"), QStringLiteral("Сидней"));
    EXPECT_EQ(LocationPage::CityIni(sydney, store), page("Сидней", 33, 52, 1, 151, 13, 0));
}

// What the page stores is what the program reads at its next start: the keys with their texts,
// the signs, and the decimal degrees rounded to four places.
TEST_F(LocationPageTest, ApplySettingsStoresWhatTheLoadReadsBack)
{
    const struct
    {
        LocationPage page;
        const char *sm;
        const char *dm;
        FixedDegrees latitude;
        FixedDegrees longitude;
    } cases[] = {
        {page("Москва", 55, 45, 0, 37, 35, 0), "1", "1", 557500, 375833},
        {page("Сидней", 33, 52, 1, 151, 13, 0), "-1", "1", -338667, 1512167},
        {page("Нью-Йорк", 40, 43, 0, 74, 0, 1), "1", "-1", 407167, -740000},
        {page("Апиа", 13, 50, 1, 171, 45, 1), "-1", "-1", -138333, -1717500},
        // The last items of the degree lists: the pole and the date line, due west.
        {page("Край", 90, 0, 0, 180, 59, 1), "1", "-1", 900000, -1809833},
        {page("", 0, 0, 0, 0, 0, 0), "1", "1", 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.page.name.toStdString());
        const Location applied = c.page.ApplySettings(store);
        EXPECT_EQ(applied.latitude, c.latitude);
        EXPECT_EQ(applied.longitude, c.longitude);
        EXPECT_EQ(stored("CityName"), c.page.name);
        EXPECT_EQ(stored("SGraduses"), QString::number(c.page.latitudeDegrees));
        EXPECT_EQ(stored("SMinutes"), QString::number(c.page.latitudeMinutes));
        EXPECT_EQ(stored("SM"), QLatin1String(c.sm));
        EXPECT_EQ(stored("DGraduses"), QString::number(c.page.longitudeDegrees));
        EXPECT_EQ(stored("DMinutes"), QString::number(c.page.longitudeMinutes));
        EXPECT_EQ(stored("DM"), QLatin1String(c.dm));

        // The program's load reads the same place, and the page opens on it again.
        const SettingsStore reread = SettingsStore::atFile(path());
        const Location loaded = readLocation(reread);
        EXPECT_EQ(loaded.cityName, applied.cityName);
        EXPECT_EQ(loaded.latitude, c.latitude);
        EXPECT_EQ(loaded.longitude, c.longitude);
        EXPECT_EQ(LocationPage::CityIni(loaded, reread), c.page);
    }
}

TEST(LocationSettings, KeysGoNameThenLongitudeThenLatitude)
{
    Location place;
    place.cityName = "Сидней";
    place.sGraduses = 33;
    place.sMinutes = 52;
    place.sM = -1;
    place.dGraduses = 151;
    place.dMinutes = 13;
    const QList<QPair<QString, QString>> expected = {
        {"CityName", "Сидней"}, {"DGraduses", "151"}, {"DMinutes", "13"}, {"DM", "1"},
        {"SGraduses", "33"},    {"SMinutes", "52"},   {"SM", "-1"},
    };
    EXPECT_EQ(locationSettings(place), expected);
}

TEST(LocationPageChoice, TakesTheDirectorysSettlement)
{
    LocationPage p = page("Москва", 55, 45, 0, 37, 35, 0);
    // Апиа, 13°50' south, 171°45' west, as the directory's columns show it.
    ASSERT_TRUE(p.take(cityChoice("Апиа", "13° 50' ю.ш.", "171° 45' з.д.")));
    EXPECT_EQ(p, page("Апиа", 13, 50, 1, 171, 45, 1));
    // "в.д" (no final point) is east.
    ASSERT_TRUE(p.take(cityChoice("Мосальск", "54° 30' с.ш.", "34° 59' в.д")));
    EXPECT_EQ(p, page("Мосальск", 54, 30, 0, 34, 59, 0));

    // Numbers outside the lists are refused, and the page keeps what it had.
    const LocationPage before = p;
    for (const auto &[latitude, longitude] :
         {std::pair{"91° 0' с.ш.", "0° 0' в.д"}, std::pair{"0° 60' с.ш.", "0° 0' в.д"},
          std::pair{"0° 0' с.ш.", "181° 0' в.д"}, std::pair{"-1° 0' с.ш.", "0° 0' в.д"}}) {
        EXPECT_FALSE(p.take(cityChoice("Нигде", latitude, longitude))) << latitude << longitude;
        EXPECT_EQ(p, before);
    }
}
