#pragma once

// The city list City.csv and the model of the city directory.
//
// City.csv: one settlement a line, seven comma-separated fields: the name (in double quotes
// when it holds a comma), longitude degrees and minutes, latitude degrees and minutes, the south
// flag and the west flag (1: southern latitude / western longitude, anything else: northern /
// eastern). The first line is a header and is skipped. The file is in Windows-1251 (a file that
// is valid UTF-8 throughout is read as UTF-8). Reading stops at the first line that is not such
// a record, keeping the rows before it.

#include <QAbstractTableModel>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace kelmor::calendar {

// One line of City.csv, fields in file order.
struct CityRecord
{
    QString name;
    qint16 longitudeDegrees = 0; // 0..180
    qint16 longitudeMinutes = 0; // 0..59
    qint16 latitudeDegrees = 0;  // 0..90
    qint16 latitudeMinutes = 0;  // 0..59
    qint16 southFlag = 0;        // 1: southern latitude
    qint16 westFlag = 0;         // 1: western longitude

    friend bool operator==(const CityRecord &, const CityRecord &) = default;
};

struct CityFile
{
    // The settlements read, in file order.
    QList<CityRecord> records;
    // Empty when the whole file was read; otherwise what was wrong, in Russian, naming the file
    // and the line.
    QString problem;
};

// The largest City.csv read (8 MiB); a larger file is refused whole.
inline constexpr qint64 MaxCityFileSize = qint64(8) << 20;

// Reads the contents of a City.csv; fileName names it in the problem text.
CityFile parseCityFile(QByteArrayView bytes, const QString &fileName);
// Reads City.csv at path; a missing or unreadable file gives no rows and says so.
CityFile readCityFile(const QString &path);
// City.csv in the program's folder, else in the installed data folder
// (<data dir>/ZEL Programming/ZEL Kelmor/3.1/City.csv, the data dir found as for the books).
QString CityFilePath();

// Column texts: "55° 45' с.ш." / "33° 52' ю.ш."; "37° 35' в.д" (no final point) / "70° 30' з.д.".
QString latitudeText(const CityRecord &record);
QString longitudeText(const CityRecord &record);

// Degrees of a column text: the number before the first "°".
qint16 GeoH(const QString &text);
// Minutes of a column text: the number after the first "°" (up to the "'").
qint16 GeoM(const QString &text);
// Hemisphere index: 1 when the text ends in "з.д." or "ю.ш.", else 0.
qint16 GeoP(const QString &text);

// The leading number of a text, read as the platform's number conversion of the original
// program does: blanks skipped (also between digits), a sign, digits, a fraction and an exponent,
// "&H" and "&O" for hexadecimal and octal; 0 when the text does not start with a number.
double leadingNumber(QStringView text);

// A chosen settlement as the location page takes it: the name and the item indexes of its
// degree, minute and hemisphere lists (hemisphere 0: north / east, 1: south / west).
struct CityChoice
{
    QString name;
    qint16 latitudeDegrees = 0;
    qint16 latitudeMinutes = 0;
    qint16 latitudeHemisphere = 0;
    qint16 longitudeDegrees = 0;
    qint16 longitudeMinutes = 0;
    qint16 longitudeHemisphere = 0;

    friend bool operator==(const CityChoice &, const CityChoice &) = default;
};

// The choice from a row's texts, through GeoH, GeoM and GeoP.
CityChoice cityChoice(const QString &name, const QString &latitude, const QString &longitude);

// The directory's list: three columns, "Город", "Широта", "Долгота", in file order.
class CityListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { NameColumn, LatitudeColumn, LongitudeColumn, ColumnCount };

    explicit CityListModel(QObject *parent = nullptr);

    void setRecords(QList<CityRecord> records);
    const QList<CityRecord> &records() const { return m_records; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The quick search: the first row whose name begins with text (as typed, spaces kept),
    // letter case ignored; -1 when text is blank or no name begins with it.
    int quickSearch(const QString &text) const;
    // The choice of a row, from its column texts; std::nullopt for a row that does not exist.
    std::optional<CityChoice> choice(int row) const;

private:
    QList<CityRecord> m_records;
};

} // namespace kelmor::calendar
