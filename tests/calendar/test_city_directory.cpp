// City.csv, the column texts and their reading back, and the quick search.

#include "books/engine/textcodec.h"
#include "calendar/city_directory.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSet>

using namespace kelmor::calendar;

namespace {

const char Header[] = "\"Город\",\"Долгота\",\"Минуты\",\"Широта\",\"Минуты\",\"Юг\",\"Запад\"\r\n";

// Text as it lies in a City.csv: Windows-1251.
QByteArray cp1251(const QString &text)
{
    const auto bytes = kelmor::books::toCp1251(text.toStdU16String());
    EXPECT_TRUE(bytes.has_value());
    return QByteArray::fromStdString(bytes.value_or(std::string()));
}

CityFile parse(const QString &text)
{
    return parseCityFile(cp1251(text), QStringLiteral("/data/City.csv"));
}

CityRecord city(const char *name, int lonD, int lonM, int latD, int latM, int south, int west)
{
    return CityRecord{
        QString::fromUtf8(name), qint16(lonD), qint16(lonM), qint16(latD), qint16(latM),
        qint16(south),           qint16(west)};
}

} // namespace

TEST(CityFile, RecordsFollowTheHeaderInFileOrder)
{
    const CityFile file = parse(QString::fromUtf8(Header) +
                                QStringLiteral("\"Москва\",37,35,55,45,0,0\r\n"
                                               "  \"Вашингтон, округ Колумбия\" ,77,2,38,54,0,1\n"
                                               "\n"
                                               "Сидней,151,13,33,52,1,0\r"
                                               "\"Апиа\"  ,  171, 45 ,13,50,1,1"));
    EXPECT_TRUE(file.problem.isEmpty()) << file.problem.toStdString();
    const QList<CityRecord> expected = {
        city("Москва", 37, 35, 55, 45, 0, 0),
        city("Вашингтон, округ Колумбия", 77, 2, 38, 54, 0, 1),
        city("Сидней", 151, 13, 33, 52, 1, 0),
        city("Апиа", 171, 45, 13, 50, 1, 1),
    };
    EXPECT_EQ(file.records, expected);

    // The same file saved as UTF-8 by an editor reads the same.
    const QByteArray utf8 =
        (QString::fromUtf8(Header) + QStringLiteral("\"Москва\",37,35,55,45,0,0")).toUtf8();
    EXPECT_EQ(parseCityFile(utf8, QStringLiteral("City.csv")).records, expected.mid(0, 1));
}

TEST(CityFile, HeaderOnlyAndEmptyFilesGiveNoRowsAndNoProblem)
{
    for (const QString &text : {QString::fromUtf8(Header), QStringLiteral("Город,Д,М,Ш,М,Ю,З"),
                                QString(), QStringLiteral("\r\n\r\n")}) {
        const CityFile file = parse(text);
        EXPECT_TRUE(file.records.isEmpty()) << text.toStdString();
        EXPECT_TRUE(file.problem.isEmpty()) << text.toStdString();
    }
}

TEST(CityFile, ABrokenLineKeepsTheRowsBeforeItAndIsNamed)
{
    const struct
    {
        const char *line;
        const char *says;
    } cases[] = {
        {"\"Город\",37,35,55,45,0", "ожидалось 7 полей, найдено 6"},
        {"\"Город\",37,35,55,45,0,0,9", "ожидалось 7 полей, найдено 8"},
        {"\"Город\",abc,35,55,45,0,0", "градусы долготы: «abc»"},
        {"\"Город\",37,35,91,45,0,0", "градусы широты: «91» не число от 0 до 90"},
        {"\"Город\",181,35,55,45,0,0", "градусы долготы: «181» не число от 0 до 180"},
        {"\"Город\",37,60,55,45,0,0", "минуты долготы"},
        {"\"Город\",37,35,55,-1,0,0", "минуты широты"},
        {"\"Город\",37,35,55,45,99999,0", "признак южной широты"},
        {"\"Город\",37,35,55,45,0,", "признак западной долготы: «»"},
        {"\"Город,37,35,55,45,0,0", "не закрыта кавычка"},
        {"\"\",37,35,55,45,0,0", "нет названия"},
        {"\"Город\",3.5,35,55,45,0,0", "«3.5»"},
    };
    for (const auto &c : cases) {
        const CityFile file =
            parse(QString::fromUtf8(Header) +
                  QStringLiteral("\"Москва\",37,35,55,45,0,0\r\n"
                                 "\"Тула\",37,37,54,12,0,0\r\n") +
                  QString::fromUtf8(c.line) + QStringLiteral("\r\n\"Тверь\",35,55,56,52,0,0\r\n"));
        ASSERT_EQ(file.records.size(), 2) << c.line;
        EXPECT_EQ(file.records[1].name, QStringLiteral("Тула"));
        EXPECT_TRUE(file.problem.startsWith(QStringLiteral("Файл «/data/City.csv», строка 4: ")))
            << file.problem.toStdString();
        EXPECT_TRUE(file.problem.contains(QString::fromUtf8(c.says))) << file.problem.toStdString();
        EXPECT_TRUE(file.problem.endsWith(QStringLiteral("Прочитано городов: 2.")));
    }
}

TEST(CityFile, MissingAndOversizedFiles)
{
    kelmor::testing::ScratchDir dir("kelmor-city-");
    const QString missing = QString::fromStdString(dir.path("City.csv"));
    const CityFile none = readCityFile(missing);
    EXPECT_TRUE(none.records.isEmpty());
    EXPECT_EQ(none.problem, QStringLiteral("Не найден файл «%1».").arg(missing));

    QFile big(missing);
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(cp1251(QString::fromUtf8(Header)));
    ASSERT_TRUE(big.resize(MaxCityFileSize + 1));
    big.close();
    const CityFile oversized = readCityFile(missing);
    EXPECT_TRUE(oversized.records.isEmpty());
    EXPECT_TRUE(oversized.problem.contains(QStringLiteral("больше 8 МиБ")));
}

TEST(CityFile, TheBundledListHasEveryRegionalCentreAndTheCapitals)
{
    const QString path =
        qEnvironmentVariable("KELMOR_SOURCE_DIR") + QStringLiteral("/data/City.csv");
    const CityFile file = readCityFile(path);
    EXPECT_TRUE(file.problem.isEmpty()) << file.problem.toStdString();
    EXPECT_GE(file.records.size(), 250);
    QSet<QString> names;
    for (const CityRecord &record : file.records) {
        EXPECT_FALSE(names.contains(record.name)) << "twice: " << record.name.toStdString();
        names.insert(record.name);
    }
    const char *required[] = {
        "Москва", "Санкт-Петербург", "Севастополь", "Майкоп", "Горно-Алтайск", "Уфа", "Улан-Удэ",
        "Махачкала", "Магас", "Нальчик", "Элиста", "Черкесск", "Петрозаводск", "Сыктывкар",
        "Симферополь", "Йошкар-Ола", "Саранск", "Якутск", "Владикавказ", "Казань", "Кызыл",
        "Ижевск", "Абакан", "Грозный", "Чебоксары", "Барнаул", "Чита", "Петропавловск-Камчатский",
        "Краснодар", "Красноярск", "Пермь", "Владивосток", "Ставрополь", "Хабаровск",
        "Благовещенск", "Архангельск", "Астрахань", "Белгород", "Брянск", "Владимир", "Волгоград",
        "Вологда", "Воронеж", "Иваново", "Иркутск", "Калининград", "Калуга", "Кемерово", "Киров",
        "Кострома", "Курган", "Курск", "Липецк", "Магадан", "Мурманск", "Нижний Новгород",
        "Великий Новгород", "Новосибирск", "Омск", "Оренбург", "Орёл", "Пенза", "Псков",
        "Ростов-на-Дону", "Рязань", "Самара", "Саратов", "Южно-Сахалинск", "Екатеринбург",
        "Смоленск", "Тамбов", "Тверь", "Томск", "Тула", "Тюмень", "Ульяновск", "Челябинск",
        "Ярославль", "Биробиджан", "Нарьян-Мар", "Ханты-Мансийск", "Анадырь", "Салехард",
        "Красногорск", "Гатчина",
        // A few capitals of every continent.
        "Лондон", "Вашингтон", "Пекин", "Токио", "Каир", "Канберра", "Бразилиа", "Буэнос-Айрес",
        "Нью-Дели", "Минск", "Астана", "Претория", "Оттава", "Мехико", "Веллингтон"};
    for (const char *name : required)
        EXPECT_TRUE(names.contains(QString::fromUtf8(name))) << "missing: " << name;
    // Moscow as the location's defaults have it.
    const auto moscow = std::find_if(file.records.begin(), file.records.end(),
                                     [](const CityRecord &r) { return r.name == "Москва"; });
    ASSERT_NE(moscow, file.records.end());
    EXPECT_EQ(*moscow, city("Москва", 37, 35, 55, 45, 0, 0));
}

TEST(CityTexts, ColumnTextsAndTheirHemispheres)
{
    const struct
    {
        CityRecord record;
        const char *latitude;
        const char *longitude;
    } cases[] = {
        {city("a", 37, 35, 55, 45, 0, 0), "55° 45' с.ш.", "37° 35' в.д"},
        {city("a", 151, 13, 33, 52, 1, 0), "33° 52' ю.ш.", "151° 13' в.д"},
        {city("a", 171, 45, 13, 50, 1, 1), "13° 50' ю.ш.", "171° 45' з.д."},
        {city("a", 0, 8, 51, 30, 2, -1), "51° 30' с.ш.", "0° 8' в.д"},
        {city("a", 180, 0, 90, 0, -1, 2), "90° 0' с.ш.", "180° 0' в.д"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(latitudeText(c.record), QString::fromUtf8(c.latitude));
        EXPECT_EQ(longitudeText(c.record), QString::fromUtf8(c.longitude));
    }
}

TEST(CityTexts, GeoHGeoMGeoPReadEveryTextForm)
{
    const struct
    {
        const char *text;
        qint16 degrees, minutes, hemisphere;
    } cases[] = {
        {"55° 45' с.ш.", 55, 45, 0},
        {"33° 52' ю.ш.", 33, 52, 1},
        {"37° 35' в.д", 37, 35, 0},
        {"70° 30' з.д.", 70, 30, 1},
        {"0° 0' с.ш.", 0, 0, 0},
        {"90° 0' ю.ш.", 90, 0, 1},
        {"180° 59' з.д.", 180, 59, 1},
        // The lists' item texts.
        {"55°", 55, 0, 0},
        {"45'", 45, 45, 0},
        {"С.ш.", 0, 0, 0},
        // Not an exact hemisphere ending: letter case and the final point count.
        {"70° 30' З.Д.", 70, 30, 0},
        {"37° 35' в.д.", 37, 35, 0},
        // The number conversion: blanks anywhere, fractions to the even neighbour, radix.
        {" 7 ° 5 '", 7, 5, 0},
        {"1 2° 3 4' с.ш.", 12, 34, 0},
        {"2.5° 3.5'", 2, 4, 0},
        {"-5° +6'", -5, 6, 0},
        {"&H1F° &O17'", 31, 15, 0},
        {"1e2°", 100, 0, 0},
        {"99999°", 32767, 0, 0},
        {"", 0, 0, 0},
        {"°'", 0, 0, 0},
        {"abc", 0, 0, 0},
    };
    for (const auto &c : cases) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(GeoH(text), c.degrees) << c.text;
        EXPECT_EQ(GeoM(text), c.minutes) << c.text;
        EXPECT_EQ(GeoP(text), c.hemisphere) << c.text;
    }
}

TEST(CityList, QuickSearchFindsTheFirstNameThatBeginsWithTheText)
{
    CityListModel model;
    model.setRecords({city("Мосальск", 34, 59, 54, 30, 0, 0), city("Москва", 37, 35, 55, 45, 0, 0),
                      city("Мурманск", 33, 5, 68, 58, 0, 0),
                      city("New York", 74, 0, 40, 43, 0, 1)});
    const struct
    {
        const char *typed;
        int row;
    } cases[] = {
        {"моск", 1},   {"МОСКВА", 1}, {"мос", 0},      {"Мосальск", 0}, {"м", 0},
        {"new y", 3},  {"NEW", 3},    {"   ", -1},     {"", -1},        {"Моск ", -1},
        {" моск", -1}, {"ё", -1},     {"Москва-", -1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(model.quickSearch(QString::fromUtf8(c.typed)), c.row) << c.typed;

    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Город"));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Широта"));
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Долгота"));
    EXPECT_EQ(model.data(model.index(3, 2)).toString(), QStringLiteral("74° 0' з.д."));
}

TEST(CityList, AChoiceCarriesTheListIndexes)
{
    CityListModel model;
    model.setRecords({city("Москва", 37, 35, 55, 45, 0, 0), city("Сидней", 151, 13, 33, 52, 1, 0),
                      city("Апиа", 171, 45, 13, 50, 1, 1), city("Край", 180, 0, 90, 0, 0, 0)});
    EXPECT_EQ(model.choice(0), (CityChoice{QStringLiteral("Москва"), 55, 45, 0, 37, 35, 0}));
    EXPECT_EQ(model.choice(1), (CityChoice{QStringLiteral("Сидней"), 33, 52, 1, 151, 13, 0}));
    EXPECT_EQ(model.choice(2), (CityChoice{QStringLiteral("Апиа"), 13, 50, 1, 171, 45, 1}));
    EXPECT_EQ(model.choice(3), (CityChoice{QStringLiteral("Край"), 90, 0, 0, 180, 0, 0}));
    EXPECT_EQ(model.choice(4), std::nullopt);
    EXPECT_EQ(model.choice(-1), std::nullopt);
}
