// Our registry beneath the class: handles and result codes, the store file, a damaged store,
// batches and two writers at once.

#include "platform/registry_store.h"
#include "registry/registry.h"
#include "registry_fixture.h"

#include <gtest/gtest.h>

#include <QFile>

#include <sys/wait.h>
#include <unistd.h>

using namespace kelmor::platform;
using kelmor::registry::Registry;
using kelmor::testing::ScratchConfig;

namespace {

const QString TestKey = QStringLiteral("Software\\KelmorTest");

QStringList g_warnings;

void recordWarning(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg)
        g_warnings << message;
}

// Collects the warnings logged while it lives.
class WarningRecorder
{
public:
    WarningRecorder()
        : m_previous(qInstallMessageHandler(recordWarning))
    {
        g_warnings.clear();
    }
    ~WarningRecorder() { qInstallMessageHandler(m_previous); }
    const QStringList &warnings() const { return g_warnings; }

private:
    QtMessageHandler m_previous;
};

} // namespace

TEST(RegistryStore, HandlesAndResultCodes)
{
    ScratchConfig config;
    HKEY key = 0;
    EXPECT_EQ(regOpenKey(HKEY_CURRENT_USER, TestKey, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, 0u);
    bool created = false;
    ASSERT_EQ(regCreateKey(HKEY_CURRENT_USER, TestKey, QStringLiteral("REG_SZ"), &key, &created),
              ERROR_SUCCESS);
    EXPECT_TRUE(created);

    // A handle opens subkeys relative to its key; empty levels are skipped.
    HKEY sub = 0;
    ASSERT_EQ(regCreateKey(key, QStringLiteral("b\\\\"), QString(), &sub, &created), 0);
    regCloseKey(sub);
    ASSERT_EQ(regCreateKey(key, QStringLiteral("A"), QString(), &sub, &created), 0);
    regCloseKey(sub);
    ASSERT_EQ(regCreateKey(key, QStringLiteral("c"), QString(), &sub, &created), 0);
    regCloseKey(sub);
    ASSERT_EQ(regCreateKey(HKEY_CURRENT_USER, QStringLiteral("\\software\\kelmortest\\A"),
                           QString(), &sub, &created),
              0);
    EXPECT_FALSE(created);
    regCloseKey(sub);

    // Subkeys enumerate in name order, values in the order they were first written.
    QStringList names;
    QString name;
    for (quint32 i = 0; regEnumKey(key, i, &name) == ERROR_SUCCESS; ++i)
        names << name;
    EXPECT_EQ(names, (QStringList{QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(regEnumKey(key, 3, &name), ERROR_NO_MORE_ITEMS);
    ASSERT_EQ(regSetValue(key, QStringLiteral("z"), REG_SZ, QByteArray("1", 2)), 0);
    ASSERT_EQ(regSetValue(key, QStringLiteral("a"), REG_SZ, QByteArray("2", 2)), 0);
    ASSERT_EQ(regSetValue(key, QStringLiteral("Z"), REG_BINARY, QByteArray("3")), 0);
    quint32 type = 0;
    QByteArray data;
    ASSERT_EQ(regEnumValue(key, 0, &name, &type, &data), 0);
    EXPECT_EQ(name, QStringLiteral("z"));
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(data, QByteArray("3"));
    EXPECT_EQ(regEnumValue(key, 2, &name), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(regDeleteValue(key, QStringLiteral("missing")), ERROR_FILE_NOT_FOUND);

    // A deleted key's handle reports it; the handle itself stays valid until closed.
    ASSERT_EQ(regOpenKey(key, QStringLiteral("A"), &sub), 0);
    EXPECT_EQ(regDeleteKey(key, QStringLiteral("A")), ERROR_SUCCESS);
    EXPECT_EQ(regQueryValue(sub, QString(), &type, &data), ERROR_KEY_DELETED);
    EXPECT_EQ(regSetValue(sub, QString(), REG_SZ, QByteArray(1, '\0')), ERROR_KEY_DELETED);
    EXPECT_EQ(regCloseKey(sub), ERROR_SUCCESS);
    EXPECT_EQ(regCloseKey(sub), ERROR_INVALID_HANDLE);
    EXPECT_EQ(regQueryValue(sub, QString(), &type, &data), ERROR_INVALID_HANDLE);
    EXPECT_EQ(regDeleteKey(key, QStringLiteral("A")), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(regDeleteKey(HKEY_CURRENT_USER, QString()), ERROR_ACCESS_DENIED);
    regCloseKey(key);

    // Names over the limits.
    EXPECT_EQ(regCreateKey(HKEY_CURRENT_USER, QString(256, QLatin1Char('k')), QString(), &key),
              ERROR_INVALID_PARAMETER);
    QString deep;
    for (int i = 0; i <= MaxKeyDepth; ++i)
        deep += QStringLiteral("k\\");
    EXPECT_EQ(regCreateKey(HKEY_CURRENT_USER, deep, QString(), &key), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(regMessageText(ERROR_ACCESS_DENIED).isEmpty());
    EXPECT_TRUE(regMessageText(424242).contains(QStringLiteral("424242")));
}

TEST(RegistryStore, TheRunKeyAlwaysExistsAndIsNotDeleted)
{
    ScratchConfig config;
    EXPECT_TRUE(Registry::IsThere(HKEY_CURRENT_USER, RunKeyPath));
    EXPECT_TRUE(Registry::SubKeys(HKEY_CURRENT_USER,
                                  QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion"))
                    .contains(QStringLiteral("Run")));
    HKEY key = 0;
    ASSERT_EQ(regOpenKey(HKEY_CURRENT_USER, RunKeyPath, &key), 0);
    EXPECT_EQ(regDeleteKey(key, QString()), ERROR_ACCESS_DENIED);
    regCloseKey(key);
}

TEST(RegistryStore, ADamagedStoreReadsEmptyWithAWarningAndIsKeptAsideOnTheNextWrite)
{
    const QByteArray damaged[] = {
        "not a registry at all",
        QByteArray("\x00\xFF\x13REGEDIT4", 11),
        "REGEDIT4\n\n\"v\"=\"a value before any key\"\n",
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software]\n",
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\"v\"=dword:xyz\n",
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\"v\"=hex:1,2,345\n",
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\"v\"=\"unterminated\n",
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\nplain words\n",
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\" + QByteArray(300, 'k') + "]\n",
    };
    for (const QByteArray &bytes : damaged) {
        ScratchConfig config;
        const QString store = registryStorePath();
        ScratchConfig::write(store, bytes);
        WarningRecorder recorder;
        EXPECT_EQ(Registry::SubKeys(HKEY_CURRENT_USER, QString()),
                  QStringList{QStringLiteral("Software")})
            << bytes.toStdString();
        ASSERT_FALSE(recorder.warnings().isEmpty()) << bytes.toStdString();
        EXPECT_TRUE(recorder.warnings().first().contains(store));
        EXPECT_TRUE(recorder.warnings().first().contains(QStringLiteral("повреждён")));

        Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("V"), REG_SZ,
                           QStringLiteral("new"));
        EXPECT_EQ(ScratchConfig::read(store + QStringLiteral(".damaged")), bytes);
        EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, TestKey, QStringLiteral("V")).toString(),
                  QStringLiteral("new"));
        EXPECT_TRUE(ScratchConfig::read(store).startsWith("REGEDIT4\n\n"));
    }
}

TEST(RegistryStore, AnOversizedStoreIsNotRead)
{
    ScratchConfig config;
    QFile store(registryStorePath());
    ASSERT_TRUE(store.open(QIODevice::WriteOnly));
    store.write("REGEDIT4\n\n");
    // Sparse: the size is checked before anything is read.
    ASSERT_TRUE(store.resize(MaxRegistryFileSize + 1));
    store.close();
    WarningRecorder recorder;
    EXPECT_FALSE(Registry::IsThere(HKEY_CURRENT_USER, TestKey));
    EXPECT_FALSE(recorder.warnings().isEmpty());
}

TEST(RegistryStore, ABatchReadsOnceAndWritesOnce)
{
    ScratchConfig config;
    {
        RegistryBatch batch;
        for (int i = 0; i < 200; ++i)
            Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("v%1").arg(i), REG_DWORD,
                               i);
        EXPECT_FALSE(QFile::exists(registryStorePath()));
        EXPECT_EQ(Registry::SubValues(HKEY_CURRENT_USER, TestKey).size(), 200);
        EXPECT_EQ(batch.commit(), ERROR_SUCCESS);
        EXPECT_TRUE(QFile::exists(registryStorePath()));
        Registry::SetValue(HKEY_CURRENT_USER, TestKey, QStringLiteral("late"), REG_SZ,
                           QStringLiteral("x"));
    }
    // The end of the scope writes the rest.
    EXPECT_EQ(Registry::SubValues(HKEY_CURRENT_USER, TestKey).size(), 201);
}

TEST(RegistryStore, TwoWritersAtOnceBothKeepTheirValues)
{
    ScratchConfig config;
    constexpr int Count = 40;
    auto writeValues = [](const QString &prefix) {
        for (int i = 0; i < Count; ++i)
            Registry::SetValue(HKEY_CURRENT_USER, TestKey, prefix + QString::number(i), REG_DWORD,
                               i);
    };
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            writeValues(QStringLiteral("child"));
        } catch (...) {
            _exit(1);
        }
        _exit(0);
    }
    writeValues(QStringLiteral("parent"));
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    const auto values = Registry::SubValues(HKEY_CURRENT_USER, TestKey);
    EXPECT_EQ(values.size(), 2 * Count);
    for (int i = 0; i < Count; ++i) {
        EXPECT_TRUE(
            Registry::IsThere(HKEY_CURRENT_USER, TestKey, QStringLiteral("child%1").arg(i)));
        EXPECT_TRUE(
            Registry::IsThere(HKEY_CURRENT_USER, TestKey, QStringLiteral("parent%1").arg(i)));
    }
    EXPECT_FALSE(QFile::exists(registryStorePath() + QStringLiteral(".damaged")));
}
