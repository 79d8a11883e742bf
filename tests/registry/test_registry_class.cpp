// The registry class over our registry: lookups, the type rules, errors, and registry files.

#include "registry/registry.h"
#include "registry_fixture.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace kelmor::registry;
using kelmor::testing::ScratchConfig;

namespace {

const QString TestKey = QStringLiteral("Software\\KelmorTest");

std::string text(const QString &s)
{
    return s.toStdString();
}

// Runs f and returns the RegistryError it raised (number 0 when none).
template <typename F> RegistryError raised(F &&f)
{
    try {
        f();
    } catch (const RegistryError &error) {
        return error;
    }
    return RegistryError(0, QString());
}

QString fixture(const char *name)
{
    return QStringLiteral(KELMOR_REGISTRY_FIXTURES "/") + QLatin1String(name);
}

// The small tree of the export fixture.
void writeSmallTree()
{
    Registry::SetValue(HKEY_CURRENT_USER, TestKey, QString(), REG_SZ, QStringLiteral("root"));
    Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("Path"), REG_SZ,
                       QStringLiteral("C:\\Prog\\Kelmor.exe /tray"));
    Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("Quote"), REG_SZ,
                       QStringLiteral("say \"hi\""));
    Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("Город"), 0,
                       QStringLiteral("Москва"));
    Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("Count"), REG_DWORD, 42);
    Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("Max"), REG_DWORD, 4294967295.0);
    Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("Bin"), REG_BINARY,
                       QByteArray("AB"));
    Registry::SetValue(HKEY_CURRENT_USER, TestKey + QStringLiteral("\\Sub"),
                       QStringLiteral("Expand"), REG_EXPAND_SZ, QStringLiteral("%PATH%\\x"));
    Registry::SetValue(HKEY_CURRENT_USER, TestKey + QStringLiteral("\\Sub"),
                       QStringLiteral("Multi"), REG_MULTI_SZ,
                       QStringList{QStringLiteral("a"), QStringLiteral("b")});
    HKEY key = 0;
    ASSERT_EQ(kelmor::platform::regCreateKey(
                  HKEY_CURRENT_USER, TestKey + QStringLiteral("\\Sub\\Deeper"), QString(), &key),
              0);
    kelmor::platform::regCloseKey(key);
    ASSERT_EQ(kelmor::platform::regCreateKey(HKEY_CURRENT_USER, TestKey + QStringLiteral("\\Alpha"),
                                             QString(), &key),
              0);
    kelmor::platform::regCloseKey(key);
}

} // namespace

TEST(RegistryClass, IsThereOnMissingAndExistingKeysAndValues)
{
    ScratchConfig config;
    EXPECT_FALSE(Registry::IsThere(HKEY_CURRENT_USER, TestKey));
    EXPECT_FALSE(Registry::IsThere(HKEY_CURRENT_USER, TestKey, QStringLiteral("Name")));
    Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("Name"), REG_SZ,
                       QStringLiteral("x"));
    EXPECT_TRUE(Registry::IsThere(HKEY_CURRENT_USER, TestKey));
    EXPECT_TRUE(Registry::IsThere(HKEY_CURRENT_USER, TestKey, QStringLiteral("Name")));
    // Key and value names ignore letter case.
    EXPECT_TRUE(Registry::IsThere(HKEY_CURRENT_USER, QStringLiteral("SOFTWARE\\kelmortest"),
                                  QStringLiteral("NAME")));
    EXPECT_FALSE(Registry::IsThere(HKEY_CURRENT_USER, TestKey, QStringLiteral("Other")));
    // A missing key reads as empty, a missing value in an existing key is error 1.
    EXPECT_FALSE(Registry::Value(HKEY_CURRENT_USER, QStringLiteral("Software\\Nothing"),
                                 QStringLiteral("Name"))
                     .isValid());
    const RegistryError missing =
        raised([] { Registry::Value(HKEY_CURRENT_USER, TestKey, QStringLiteral("Other")); });
    EXPECT_EQ(missing.number(), 1);
    EXPECT_EQ(missing.description(), UnsupportedTypeText);
    EXPECT_EQ(Registry::ValueType(HKEY_CURRENT_USER, TestKey, QStringLiteral("Other")), 0u);
    EXPECT_EQ(Registry::ValueType(HKEY_CURRENT_USER, TestKey, QStringLiteral("Name")), REG_SZ);
}

TEST(RegistryClass, DeleteValueWithEmptyNameTouchesNothingAndMissingValuesDeleteAsTrue)
{
    ScratchConfig config;
    Registry::SetValue(HKEY_CURRENT_USER, TestKey, QString(), REG_SZ, QStringLiteral("default"));
    const QByteArray before = ScratchConfig::read(kelmor::platform::registryStorePath());
    EXPECT_FALSE(Registry::DeleteValue(HKEY_CURRENT_USER, TestKey, QString()));
    EXPECT_EQ(ScratchConfig::read(kelmor::platform::registryStorePath()), before);
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, TestKey, QString()).toString(),
              QStringLiteral("default"));

    EXPECT_TRUE(Registry::DeleteValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("Missing")));
    EXPECT_TRUE(Registry::DeleteValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Nothing"),
                                      QStringLiteral("Missing")));
    Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("Gone"), REG_SZ,
                       QStringLiteral("x"));
    EXPECT_TRUE(Registry::DeleteValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("gone")));
    EXPECT_FALSE(Registry::IsThere(HKEY_CURRENT_USER, TestKey, QStringLiteral("Gone")));
}

TEST(RegistryClass, WritingAValueCreatesTheWholePath)
{
    ScratchConfig config;
    Registry::SetValue(HKEY_CURRENT_USER, QStringLiteral("Software\\A\\B\\C"), QStringLiteral("V"),
                       0, QStringLiteral("text"));
    EXPECT_EQ(Registry::SubKeys(HKEY_CURRENT_USER, QStringLiteral("Software\\A")),
              QStringList{QStringLiteral("B")});
    EXPECT_EQ(Registry::SubKeys(HKEY_CURRENT_USER, QStringLiteral("Software\\A\\B")),
              QStringList{QStringLiteral("C")});
    EXPECT_EQ(Registry::ValueType(HKEY_CURRENT_USER, QStringLiteral("Software\\A\\B\\C"),
                                  QStringLiteral("V")),
              REG_SZ);
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, QStringLiteral("Software\\A\\B\\C"),
                              QStringLiteral("V")),
              QVariant(QStringLiteral("text")));
    // The store is a file: a later reader sees the same tree.
    EXPECT_TRUE(ScratchConfig::read(kelmor::platform::registryStorePath())
                    .contains("[HKEY_CURRENT_USER\\Software\\A\\B\\C]\n\"V\"=\"text\"\n"));
}

TEST(RegistryClass, DwordRangeAndPattern)
{
    ScratchConfig config;
    struct Case
    {
        QVariant value;
        quint32 pattern;
    } accepted[] = {
        {0, 0u},
        {2147483647, 0x7FFFFFFFu},
        {QVariant::fromValue(qlonglong(2147483648LL)), 0x80000000u},
        {QVariant::fromValue(4294967295u), 0xFFFFFFFFu},
        {4294967295.0, 0xFFFFFFFFu},
        {QStringLiteral(" 4294967295 "), 0xFFFFFFFFu},
    };
    for (const Case &c : accepted) {
        Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("D"), REG_DWORD, c.value);
        HKEY key = 0;
        ASSERT_EQ(kelmor::platform::regOpenKey(HKEY_CURRENT_USER, TestKey, &key), 0);
        quint32 type = 0;
        QByteArray data;
        EXPECT_EQ(kelmor::platform::regQueryValue(key, QStringLiteral("D"), &type, &data), 0);
        kelmor::platform::regCloseKey(key);
        EXPECT_EQ(type, REG_DWORD);
        const char bytes[] = {char(c.pattern & 0xFF), char((c.pattern >> 8) & 0xFF),
                              char((c.pattern >> 16) & 0xFF), char(c.pattern >> 24)};
        const QByteArray expected(bytes, 4);
        EXPECT_EQ(data, expected) << text(c.value.toString());
        EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, TestKey, QStringLiteral("D")).toULongLong(),
                  qulonglong(c.pattern));
    }

    const QVariant refused[] = {-1,
                                QVariant::fromValue(qlonglong(4294967296LL)),
                                1.5,
                                QStringLiteral("abc"),
                                QStringLiteral("-1"),
                                QVariant()};
    for (const QVariant &value : refused) {
        const RegistryError error = raised([&] {
            Registry::SetValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Refused"),
                               QStringLiteral("D"), REG_DWORD, value);
        });
        EXPECT_EQ(error.number(), 2) << text(value.toString());
        EXPECT_EQ(error.source(), QStringLiteral("RegistryClass"));
    }
    EXPECT_FALSE(Registry::IsThere(HKEY_CURRENT_USER, QStringLiteral("Software\\Refused")));
}

TEST(RegistryClass, TextBinaryAndMultiStringValuesReadBackWithoutTheirTerminator)
{
    ScratchConfig config;
    Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("Bin"), REG_BINARY,
                       QByteArray("\x01\x00\xFF", 3));
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, TestKey, QStringLiteral("Bin")).toByteArray(),
              QByteArray("\x01\x00\xFF", 3));
    const QString multi = QStringLiteral("один") + QChar(0) + QStringLiteral("два") + QChar(0);
    Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("Multi"), REG_MULTI_SZ, multi);
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, TestKey, QStringLiteral("Multi")).toString(),
              multi);
    Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("Empty"), REG_SZ, QString());
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, TestKey, QStringLiteral("Empty")).toString(),
              QString());

    const auto rows = Registry::SubValues(HKEY_CURRENT_USER, TestKey);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].first, QStringLiteral("Bin"));
    EXPECT_EQ(rows[1].second.toString(), multi);
    EXPECT_EQ(rows[2].first, QStringLiteral("Empty"));
}

TEST(RegistryClass, ExpandStringsReplaceSetVariablesOnRead)
{
    ScratchConfig config;
    qputenv("KELMOR_TEST_PLACE", "/opt/kelmor");
    qputenv("KELMOR_TEST_EMPTY", "");
    struct Case
    {
        const char *stored;
        const char *read;
    } cases[] = {
        {"%KELMOR_TEST_PLACE%/bin", "/opt/kelmor/bin"},
        {"%kelmor_test_place%", "/opt/kelmor"},
        {"%KELMOR_TEST_EMPTY%x", "%KELMOR_TEST_EMPTY%x"},
        {"%KELMOR_NOT_SET%", "%KELMOR_NOT_SET%"},
        {"100% of %KELMOR_TEST_PLACE%", "100% of /opt/kelmor"},
        {"%%", "%%"},
        {"end %", "end %"},
    };
    for (const Case &c : cases) {
        Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("E"), REG_EXPAND_SZ,
                           QString::fromUtf8(c.stored));
        EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, TestKey, QStringLiteral("E")).toString(),
                  QString::fromUtf8(c.read))
            << c.stored;
    }
    qunsetenv("KELMOR_TEST_PLACE");
    qunsetenv("KELMOR_TEST_EMPTY");
}

TEST(RegistryClass, OtherTypesAndFailingCallsRaiseWithTheirNumberAndSource)
{
    ScratchConfig config;
    const RegistryError type =
        raised([] { Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("Q"), 11, 1); });
    EXPECT_EQ(type.number(), 1);
    EXPECT_EQ(type.source(), QStringLiteral("RegistryClass"));
    EXPECT_EQ(type.description(), UnsupportedTypeText);
    EXPECT_FALSE(Registry::IsThere(HKEY_CURRENT_USER, TestKey));

    // A value of another type (written beneath the class) cannot be read either.
    HKEY key = 0;
    ASSERT_EQ(kelmor::platform::regCreateKey(HKEY_CURRENT_USER, TestKey, QString(), &key), 0);
    ASSERT_EQ(kelmor::platform::regSetValue(key, QStringLiteral("Q"), 11, QByteArray(8, '\1')), 0);
    kelmor::platform::regCloseKey(key);
    EXPECT_EQ(Registry::ValueType(HKEY_CURRENT_USER, TestKey, QStringLiteral("Q")), 11u);
    EXPECT_EQ(
        raised([] { Registry::Value(HKEY_CURRENT_USER, TestKey, QStringLiteral("Q")); }).number(),
        1);

    // Only HKEY_CURRENT_USER is writable: the platform's "access denied", 5.
    const RegistryError denied = raised([] {
        Registry::SetValue(HKEY_LOCAL_MACHINE, QStringLiteral("Software\\X"), QStringLiteral("V"),
                           REG_SZ, QStringLiteral("x"));
    });
    EXPECT_EQ(denied.number(), 5);
    EXPECT_EQ(denied.source(), QStringLiteral("RegistryClass"));
    EXPECT_EQ(denied.description(), QStringLiteral("Отказано в доступе."));
    EXPECT_FALSE(Registry::IsThere(HKEY_LOCAL_MACHINE, QStringLiteral("Software\\X")));
    EXPECT_TRUE(Registry::IsThere(HKEY_LOCAL_MACHINE, QString()));

    // A key with subkeys is not deleted.
    Registry::SetValue(HKEY_CURRENT_USER, TestKey + QStringLiteral("\\Child"), QStringLiteral("V"),
                       REG_SZ, QStringLiteral("x"));
    EXPECT_EQ(raised([] { Registry::DeleteKey(HKEY_CURRENT_USER, TestKey); }).number(), 5);
    EXPECT_TRUE(Registry::DeleteKey(HKEY_CURRENT_USER, TestKey + QStringLiteral("\\Child")));
    EXPECT_TRUE(Registry::DeleteKey(HKEY_CURRENT_USER, TestKey));
    EXPECT_FALSE(Registry::IsThere(HKEY_CURRENT_USER, TestKey));
    EXPECT_TRUE(Registry::DeleteKey(HKEY_CURRENT_USER, TestKey));
    // An invalid root handle.
    EXPECT_EQ(raised([] { Registry::IsThere(0x1234, TestKey); }).number(), 6);
}

TEST(RegistryClass, ExportOfASmallTreeMatchesTheFixtureAndImportsBackUnchanged)
{
    ScratchConfig config;
    writeSmallTree();
    const QString exported = config.path("tree.reg");
    ASSERT_TRUE(Registry::SaveToFile(HKEY_CURRENT_USER, TestKey, exported));
    const QByteArray expected = ScratchConfig::read(fixture("small_tree.reg"));
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(ScratchConfig::read(exported).toStdString(), expected.toStdString());

    // Into an empty registry and out again: the same file.
    ScratchConfig other("kelmor-registry-import-");
    EXPECT_FALSE(Registry::IsThere(HKEY_CURRENT_USER, TestKey));
    ASSERT_TRUE(Registry::LoadFromFile(fixture("small_tree.reg")));
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, TestKey, QStringLiteral("Path")).toString(),
              QStringLiteral("C:\\Prog\\Kelmor.exe /tray"));
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, TestKey, QStringLiteral("Quote")).toString(),
              QStringLiteral("say \"hi\""));
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, TestKey, QStringLiteral("Max")).toULongLong(),
              4294967295ULL);
    const QString again = other.path("again.reg");
    ASSERT_TRUE(Registry::SaveToFile(HKEY_CURRENT_USER, TestKey, again));
    EXPECT_EQ(ScratchConfig::read(again).toStdString(), expected.toStdString());
}

TEST(RegistryClass, ExportWritesTheDefaultValueFirstAndTheRootWithoutABackslash)
{
    ScratchConfig config;
    Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("Named"), REG_SZ,
                       QStringLiteral("x"));
    Registry::SetValue(HKEY_CURRENT_USER, TestKey, QString(), REG_DWORD, 1);
    const QString file = config.path("default.reg");
    ASSERT_TRUE(
        Registry::SaveToFile(HKEY_CURRENT_USER, QStringLiteral("\\Software\\KelmorTest\\"), file));
    EXPECT_EQ(ScratchConfig::read(file),
              QByteArrayLiteral("REGEDIT4\n\n"
                                "[HKEY_CURRENT_USER\\Software\\KelmorTest]\n"
                                "@=dword:00000001\n"
                                "\"Named\"=\"x\"\n\n"));
    ASSERT_TRUE(Registry::SaveToFile(HKEY_CURRENT_USER, QString(), file));
    EXPECT_TRUE(ScratchConfig::read(file).startsWith("REGEDIT4\n\n[HKEY_CURRENT_USER]\n\n"));
}

TEST(RegistryClass, SaveToFileRefusals)
{
    ScratchConfig config;
    EXPECT_FALSE(Registry::SaveToFile(HKEY_CURRENT_USER, TestKey, QString()));
    EXPECT_FALSE(Registry::SaveToFile(HKEY_CURRENT_USER, TestKey, config.path("missing.reg")));
    EXPECT_FALSE(QFile::exists(config.path("missing.reg")));
    Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("V"), REG_SZ,
                       QStringLiteral("x"));
    EXPECT_FALSE(
        Registry::SaveToFile(HKEY_CURRENT_USER, TestKey, config.path("no/such/folder/x.reg")));
}

TEST(RegistryClass, LoadFromFileReadsEveryFormAndSkipsTheRest)
{
    ScratchConfig config;
    const QString file = config.path("in.reg");
    ScratchConfig::write(file, QByteArrayLiteral("REGEDIT4\r\n"
                                                 "\"Before\"=\"ignored: no key yet\"\r\n"
                                                 "[HKEY_CURRENT_USER\\Software\\Imp]\r\n"
                                                 "@=\"default\"\r\n"
                                                 "\"Text\"=\"a\\\\b\"\r\n"
                                                 "\"Word\"=dword:DEADbeef\r\n"
                                                 "\"Short\"=dword:2a\r\n"
                                                 "\"Bin\"=hex:01,Ab,\\\r\n"
                                                 "  ff\r\n"
                                                 "\"Exp\"=hex(2):25,48,4f,4d,45,25,00\r\n"
                                                 "\"Multi\"=hex(7):61,00,62,00,00\r\n"
                                                 "\"Qword\"=hex(b):01,00,00,00,00,00,00,00\r\n"
                                                 "this line is of no known form\r\n"
                                                 "\"Bad\"=dword:123456789\r\n"
                                                 "\r\n"
                                                 "[HKEY_NOWHERE\\Software\\Imp]\r\n"
                                                 "\"Lost\"=\"x\"\r\n"
                                                 "[HKEY_CURRENT_USER\\Software\\Imp\\Sub]\r\n"
                                                 "\"Last\"=\"y\"\r\n"));
    ASSERT_TRUE(Registry::LoadFromFile(file));
    const QString key = QStringLiteral("Software\\Imp");
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, key, QString()).toString(),
              QStringLiteral("default"));
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, key, QStringLiteral("Text")).toString(),
              QStringLiteral("a\\b"));
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, key, QStringLiteral("Word")).toULongLong(),
              0xDEADBEEFULL);
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, key, QStringLiteral("Short")).toULongLong(), 42u);
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, key, QStringLiteral("Bin")).toByteArray(),
              QByteArray("\x01\xAB\xFF", 3));
    EXPECT_EQ(Registry::ValueType(HKEY_CURRENT_USER, key, QStringLiteral("Exp")), REG_EXPAND_SZ);
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, key, QStringLiteral("Exp")).toString(),
              qEnvironmentVariable("HOME"));
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, key, QStringLiteral("Multi")).toString(),
              QStringLiteral("a") + QChar(0) + QStringLiteral("b") + QChar(0));
    EXPECT_EQ(Registry::ValueType(HKEY_CURRENT_USER, key, QStringLiteral("Qword")), 11u);
    EXPECT_FALSE(Registry::IsThere(HKEY_CURRENT_USER, key, QStringLiteral("Before")));
    EXPECT_FALSE(Registry::IsThere(HKEY_CURRENT_USER, key, QStringLiteral("Bad")));
    EXPECT_FALSE(Registry::IsThere(HKEY_CURRENT_USER, key, QStringLiteral("Lost")));
    EXPECT_EQ(
        Registry::Value(HKEY_CURRENT_USER, key + QStringLiteral("\\Sub"), QStringLiteral("Last"))
            .toString(),
        QStringLiteral("y"));
}

TEST(RegistryClass, LoadFromFileReadsAWindows1251File)
{
    ScratchConfig config;
    // [HKEY_CURRENT_USER\Software\Сонник] "Город"="Москва", as a Russian Windows writes it.
    ScratchConfig::write(
        config.path("cp1251.reg"),
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\\xD1\xEE\xED\xED\xE8\xEA]\r\n"
        "\"\xC3\xEE\xF0\xEE\xE4\"=\"\xCC\xEE\xF1\xEA\xE2\xE0\"\r\n");
    ASSERT_TRUE(Registry::LoadFromFile(config.path("cp1251.reg")));
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, QStringLiteral("Software\\Сонник"),
                              QStringLiteral("Город"))
                  .toString(),
              QStringLiteral("Москва"));
}

TEST(RegistryClass, LoadFromFileRefusesFilesThatAreNotRegedit4)
{
    ScratchConfig config;
    const struct
    {
        const char *name;
        QByteArray bytes;
    } files[] = {
        {"v5.reg", "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\X]\n"},
        {"lower.reg", "regedit4\n\n[HKEY_CURRENT_USER\\Software\\X]\n"},
        {"late.reg", "\nREGEDIT4\n[HKEY_CURRENT_USER\\Software\\X]\n"},
        {"empty.reg", ""},
    };
    for (const auto &f : files) {
        ScratchConfig::write(config.path(f.name), f.bytes);
        EXPECT_FALSE(Registry::LoadFromFile(config.path(f.name))) << f.name;
    }
    EXPECT_FALSE(Registry::LoadFromFile(config.path("does-not-exist.reg")));
    EXPECT_FALSE(Registry::IsThere(HKEY_CURRENT_USER, QStringLiteral("Software\\X")));
    EXPECT_FALSE(QFile::exists(kelmor::platform::registryStorePath()));
}

TEST(RegistryClass, LoadFromFileIntoAReadOnlyRootRaisesAccessDenied)
{
    ScratchConfig config;
    ScratchConfig::write(config.path("hklm.reg"),
                         "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\X]\n\"V\"=\"x\"\n");
    EXPECT_EQ(raised([&] { Registry::LoadFromFile(config.path("hklm.reg")); }).number(), 5);
}
