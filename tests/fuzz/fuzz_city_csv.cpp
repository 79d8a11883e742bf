// Fuzz target of the City.csv reader: the input is a City.csv. Every record read must show in
// its column texts the values GeoH, GeoM and GeoP read back; the texts of the input's lines go
// through GeoH, GeoM and GeoP and the quick search as well.

#include "calendar/city_directory.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

using namespace kelmor::calendar;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const CityFile file = parseCityFile(bytes, QStringLiteral("City.csv"));
    for (const CityRecord &record : file.records) {
        const CityChoice choice =
            cityChoice(record.name, latitudeText(record), longitudeText(record));
        if (choice.latitudeDegrees != record.latitudeDegrees ||
            choice.latitudeMinutes != record.latitudeMinutes ||
            choice.longitudeDegrees != record.longitudeDegrees ||
            choice.longitudeMinutes != record.longitudeMinutes ||
            choice.latitudeHemisphere != (record.southFlag == 1 ? 1 : 0) ||
            choice.longitudeHemisphere != (record.westFlag == 1 ? 1 : 0))
            std::abort();
    }
    const QString text = QString::fromLatin1(bytes.first(std::min<qsizetype>(bytes.size(), 4096)));
    (void)GeoH(text);
    (void)GeoM(text);
    (void)GeoP(text);
    CityListModel model;
    model.setRecords(file.records);
    (void)model.quickSearch(text.left(8));
    return 0;
}
