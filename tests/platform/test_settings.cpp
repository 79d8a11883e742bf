// Settings store: value formats, conversions with defaults, escaped keys, data folders.
#include "platform/cache_folder.h"
#include "platform/data_folder.h"
#include "platform/settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

using namespace kelmor::platform;

namespace {

class SettingsFile : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("ZEL_Programming.conf")); }
    void writeRaw(const QByteArray &bytes)
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

} // namespace

TEST_F(SettingsFile, ValuesRoundTripThroughTheFileInTheirTextFormats)
{
    {
        SettingsStore store = SettingsStore::atFile(path());
        store.writeDouble(SettingsSection, QStringLiteral("Height"), 6100.0);
        store.writeDouble(SettingsSection, QStringLiteral("Top"), 1234.5);
        store.writeInt(SettingsSection, QStringLiteral("MenuTransp"), 205);
        store.writeBool(SettingsSection, QStringLiteral("ToTray"), true);
        store.writeBool(SettingsSection, QStringLiteral("LitAExpanded"), false);
        store.write(LocationSection, QStringLiteral("CityName"), QStringLiteral("Москва, центр"));
        store.write(SettingsSection, QStringLiteral("LastWord"), QStringLiteral("@ключ"));
    }
    const SettingsStore store = SettingsStore::atFile(path());
    EXPECT_EQ(store.read(SettingsSection, QStringLiteral("Height")), QStringLiteral("6100"));
    EXPECT_EQ(store.read(SettingsSection, QStringLiteral("Top")), QStringLiteral("1234.5"));
    EXPECT_EQ(store.read(SettingsSection, QStringLiteral("MenuTransp")), QStringLiteral("205"));
    EXPECT_EQ(store.read(SettingsSection, QStringLiteral("ToTray")), QStringLiteral("True"));
    EXPECT_EQ(store.read(SettingsSection, QStringLiteral("LitAExpanded")), QStringLiteral("False"));
    EXPECT_EQ(store.read(LocationSection, QStringLiteral("CityName")),
              QStringLiteral("Москва, центр"));
    EXPECT_EQ(store.read(SettingsSection, QStringLiteral("LastWord")), QStringLiteral("@ключ"));
    EXPECT_DOUBLE_EQ(store.readDouble(SettingsSection, QStringLiteral("Top"), 0), 1234.5);
    EXPECT_EQ(store.readInt(SettingsSection, QStringLiteral("MenuTransp"), 0), 205);
    EXPECT_TRUE(store.readBool(SettingsSection, QStringLiteral("ToTray"), false));
    EXPECT_FALSE(store.readBool(SettingsSection, QStringLiteral("LitAExpanded"), true));
}

TEST_F(SettingsFile, MissingKeysAndSectionsGiveDefaultsWithoutWriting)
{
    const SettingsStore store = SettingsStore::atFile(path());
    EXPECT_EQ(store.read(SettingsSection, QStringLiteral("AdminCommands"), QStringLiteral("d")),
              QStringLiteral("d"));
    EXPECT_EQ(store.readInt(QStringLiteral("Nowhere"), QStringLiteral("ListMode"), 1), 1);
    EXPECT_DOUBLE_EQ(store.readDouble(SettingsSection, QStringLiteral("Width"), 4100), 4100);
    EXPECT_TRUE(store.readBool(SettingsSection, QStringLiteral("LitFExpanded"), true));
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(SettingsFile, BookPathKeysRoundTripAndStayOneKeyInTheSubsection)
{
    const QStringList keys = {
        QStringLiteral("/usr/share/ZEL Programming/ZEL Kelmor/3.1/Books/Миллер.book"),
        QStringLiteral("C:\\ProgramData\\ZEL Programming\\Books\\a.book"),
        QStringLiteral("/a//b/"),
        QStringLiteral("100%2F/%5C\\%"),
        QStringLiteral("key=with;semi\"quote"),
    };
    {
        SettingsStore store = SettingsStore::atFile(path());
        int i = 0;
        for (const QString &key : keys)
            store.writeInt(BooksSection, key, i++ % 2);
    }
    const SettingsStore store = SettingsStore::atFile(path());
    int i = 0;
    for (const QString &key : keys) {
        EXPECT_EQ(store.read(BooksSection, key), QString::number(i % 2)) << key.toStdString();
        ++i;
    }
    // Keys that differ only in a separator stay apart.
    EXPECT_FALSE(store.contains(BooksSection, QStringLiteral("/a/b")));
    EXPECT_FALSE(store.contains(SettingsSection, keys.first()));

    QSettings raw(path(), QSettings::IniFormat);
    raw.beginGroup(QStringLiteral("Kelmor3/books"));
    EXPECT_EQ(raw.childKeys().size(), keys.size());
    EXPECT_TRUE(raw.childGroups().isEmpty());
}

TEST_F(SettingsFile, GarbageValuesGiveTheReadersDefault)
{
    writeRaw("[Kelmor3]\n"
             "Height=abc\nWidth=1e400\nTop=nan\nLeft=12,5\nListMode=2.5\nMenuTransp=99999999999\n"
             "ToTray=yes\nLitAExpanded=\nAdminCommands=\"Go_to_tray;\"\n"
             "\x01\x02 garbage line without equals\n[[[broken\n");
    const SettingsStore store = SettingsStore::atFile(path());
    EXPECT_DOUBLE_EQ(store.readDouble(SettingsSection, QStringLiteral("Height"), 6100), 6100);
    EXPECT_DOUBLE_EQ(store.readDouble(SettingsSection, QStringLiteral("Width"), 4100), 4100);
    EXPECT_DOUBLE_EQ(store.readDouble(SettingsSection, QStringLiteral("Top"), -1), -1);
    EXPECT_DOUBLE_EQ(store.readDouble(SettingsSection, QStringLiteral("Left"), -1), -1);
    EXPECT_EQ(store.readInt(SettingsSection, QStringLiteral("ListMode"), 1), 1);
    EXPECT_EQ(store.readInt(SettingsSection, QStringLiteral("MenuTransp"), 205), 205);
    EXPECT_FALSE(store.readBool(SettingsSection, QStringLiteral("ToTray"), false));
    EXPECT_TRUE(store.readBool(SettingsSection, QStringLiteral("LitAExpanded"), true));
    EXPECT_EQ(store.read(SettingsSection, QStringLiteral("AdminCommands")),
              QStringLiteral("Go_to_tray;"));
}

TEST(SettingsConversions, NumbersAndBooleans)
{
    struct Case
    {
        const char *text;
        bool intOk;
        int intValue;
        bool doubleOk;
        double doubleValue;
        bool boolOk;
        bool boolValue;
    };
    const Case cases[] = {
        {"1", true, 1, true, 1, true, true},
        {" -12 ", true, -12, true, -12, true, true},
        {"0", true, 0, true, 0, true, false},
        {"+7", true, 7, true, 7, true, true},
        {"6100.5", false, 0, true, 6100.5, false, false},
        {"1E+3", false, 0, true, 1000, false, false},
        {"True", false, 0, false, 0, true, true},
        {"false", false, 0, false, 0, true, false},
        {"", false, 0, false, 0, false, false},
        {"12abc", false, 0, false, 0, false, false},
        {"3e39", false, 0, false, 0, false, false},
        {"inf", false, 0, false, 0, false, false},
        {"0x10", false, 0, false, 0, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        int i = 0;
        double d = 0;
        bool b = false;
        EXPECT_EQ(parseSettingsInt(QString::fromLatin1(c.text), &i), c.intOk);
        if (c.intOk) {
            EXPECT_EQ(i, c.intValue);
        }
        EXPECT_EQ(parseSettingsDouble(QString::fromLatin1(c.text), &d), c.doubleOk);
        if (c.doubleOk) {
            EXPECT_DOUBLE_EQ(d, c.doubleValue);
        }
        EXPECT_EQ(parseSettingsBool(QString::fromLatin1(c.text), &b), c.boolOk);
        if (c.boolOk) {
            EXPECT_EQ(b, c.boolValue);
        }
    }
    EXPECT_EQ(formatSettingsDouble(6100), QStringLiteral("6100"));
    EXPECT_EQ(formatSettingsDouble(-0.0), QStringLiteral("0"));
    EXPECT_EQ(formatSettingsDouble(0.1), QStringLiteral("0.1"));
    EXPECT_EQ(formatSettingsDouble(1.0 / 3.0), QStringLiteral("0.33333334"));
}

TEST(SettingsKeys, EscapingIsReversible)
{
    for (const char *key : {"", "plain", "/x/y", "a\\b", "%", "%25", "%2F", "50%", "%zz"}) {
        const QString k = QString::fromLatin1(key);
        const QString e = escapeSettingsKey(k);
        EXPECT_FALSE(e.contains(QLatin1Char('/')) || e.contains(QLatin1Char('\\'))) << key;
        EXPECT_EQ(unescapeSettingsKey(e), k) << key;
    }
}

TEST(DataFolders, CommonDataFolderComesFromXdgDataDirs)
{
    QTemporaryDir a, b;
    ASSERT_TRUE(QDir(b.path()).mkpath(QStringLiteral("ZEL Programming")));
    const QByteArray saved = qgetenv("XDG_DATA_DIRS");

    qputenv("XDG_DATA_DIRS", (a.path() + QLatin1Char(':') + b.path()).toUtf8());
    EXPECT_EQ(GetSpecialFolderPath(35), b.path());
    EXPECT_EQ(BooksPath(), b.path() + QStringLiteral("/ZEL Programming/ZEL Kelmor/3.1/Books"));
    EXPECT_EQ(TextsPath(), b.path() + QStringLiteral("/ZEL Programming/ZEL Kelmor/3.1/Texts"));

    qputenv("XDG_DATA_DIRS", ("relative:" + a.path() + ":/nonexistent").toUtf8());
    EXPECT_EQ(GetSpecialFolderPath(35), a.path());

    qputenv("XDG_DATA_DIRS", "");
    EXPECT_EQ(GetSpecialFolderPath(35), QStringLiteral("/usr/local/share"));
    EXPECT_EQ(GetSpecialFolderPath(26), QString());

    EXPECT_EQ(AddBackslash(QStringLiteral("/x")), QStringLiteral("/x/"));
    EXPECT_EQ(AddBackslash(QStringLiteral("/x/")), QStringLiteral("/x/"));
    EXPECT_EQ(AddBackslash(QString()), QStringLiteral("/"));

    if (saved.isNull())
        qunsetenv("XDG_DATA_DIRS");
    else
        qputenv("XDG_DATA_DIRS", saved);
}

TEST(DataHomeFolder, FollowsXdgDataHomeWhenAbsolute)
{
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/tmp/kelmor-data-test");
    EXPECT_EQ(kelmor::platform::dataHomeFolder(), QStringLiteral("/tmp/kelmor-data-test/kelmor"));
    qputenv("XDG_DATA_HOME", "relative/path");
    EXPECT_EQ(kelmor::platform::dataHomeFolder(),
              QDir::homePath() + QStringLiteral("/.local/share/kelmor"));
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(kelmor::platform::dataHomeFolder(),
              QDir::homePath() + QStringLiteral("/.local/share/kelmor"));
    if (!saved.isNull())
        qputenv("XDG_DATA_HOME", saved);
}

TEST(CacheFolder, FollowsXdgCacheHomeAndKeysBooksByPathSizeAndTime)
{
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", "/tmp/kelmor-cache-test");
    EXPECT_EQ(kelmor::platform::cacheFolder(), QStringLiteral("/tmp/kelmor-cache-test/kelmor"));
    qputenv("XDG_CACHE_HOME", "relative/path"); // not absolute: ignored, as the XDG rules say
    EXPECT_EQ(kelmor::platform::cacheFolder(), QDir::homePath() + QStringLiteral("/.cache/kelmor"));
    qputenv("XDG_CACHE_HOME", saved);

    QTemporaryDir dir;
    const QString book = dir.filePath(QStringLiteral("a.book"));
    EXPECT_TRUE(kelmor::platform::bookCacheKey(book).isEmpty()); // no such file
    {
        QFile f(book);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("12345");
    }
    const QString key = kelmor::platform::bookCacheKey(book);
    EXPECT_TRUE(key.startsWith(book + QStringLiteral("\n5\n"))) << key.toStdString();
    {
        QFile f(book);
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("6");
    }
    EXPECT_NE(kelmor::platform::bookCacheKey(book), key);              // grown: another book
    EXPECT_TRUE(kelmor::platform::bookCacheKey(dir.path()).isEmpty()); // a folder is no book
}
