// The Run key as XDG autostart entries, and the autorun entry of the program on top of it.

#include "platform/autostart_entry.h"
#include "registry/registry.h"
#include "registry_fixture.h"
#include "shell/autorun.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace kelmor::platform;
using kelmor::registry::Registry;
using kelmor::registry::RegistryError;
using kelmor::testing::ScratchConfig;

namespace {

const QString EntryName = QStringLiteral("ZELKelmor3");
const QString EntryFile = QStringLiteral("ZELKelmor3.desktop");

void writeRun(const QString &name, const QString &command)
{
    Registry::SetValue(HKEY_CURRENT_USER, RunKeyPath, name, kelmor::registry::REG_SZ, command);
}

QString readRun(const QString &name)
{
    return Registry::Value(HKEY_CURRENT_USER, RunKeyPath, name).toString();
}

bool isRun(const QString &name)
{
    return Registry::IsThere(HKEY_CURRENT_USER, RunKeyPath, name);
}

// desktop-file-validate's complaints about a file; empty when it passes (or is not installed,
// which *skipped tells).
QString validationProblems(const QString &file, bool *skipped)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    *skipped = tool.isEmpty();
    if (tool.isEmpty())
        return {};
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool, {file});
    if (!process.waitForFinished(30000))
        return QStringLiteral("desktop-file-validate did not finish");
    const QString output = QString::fromUtf8(process.readAll());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return output.isEmpty() ? QStringLiteral("exit code %1").arg(process.exitCode()) : output;
    return {};
}

void expectValid(const QString &file)
{
    bool skipped = false;
    const QString problems = validationProblems(file, &skipped);
    EXPECT_TRUE(problems.isEmpty())
        << problems.toStdString() << ScratchConfig::read(file).toStdString();
    if (skipped)
        std::printf("desktop-file-validate is not installed: %s not validated\n", qPrintable(file));
}

// An executable file (a shell script) at path.
void makeExecutable(const QString &path)
{
    ScratchConfig::write(path, "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
}

} // namespace

TEST(Autostart, WritingTheRunValueWritesAValidEntryThatRunsTheCommand)
{
    ScratchConfig config;
    writeRun(EntryName, QStringLiteral("/opt/kelmor/kelmor /tray"));
    const QString file = config.autostart(EntryFile);
    ASSERT_TRUE(QFile::exists(file));
    const QByteArray bytes = ScratchConfig::read(file);
    EXPECT_TRUE(bytes.startsWith("[Desktop Entry]\n")) << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("\nType=Application\n"));
    EXPECT_TRUE(bytes.contains("\nExec=/opt/kelmor/kelmor /tray\n"));
    expectValid(file);
    EXPECT_TRUE(isRun(EntryName));
    EXPECT_TRUE(isRun(QStringLiteral("zelkelmor3")));
    EXPECT_EQ(readRun(EntryName), QStringLiteral("/opt/kelmor/kelmor /tray"));
    EXPECT_EQ(Registry::ValueType(HKEY_CURRENT_USER, RunKeyPath, EntryName),
              kelmor::registry::REG_SZ);
    // The entry is a file, not a line of the store.
    EXPECT_FALSE(ScratchConfig::read(registryStorePath()).contains("ZELKelmor3"));
}

TEST(Autostart, ReplacingKeepsOneEntryAndTheLinesItDoesNotOwn)
{
    ScratchConfig config;
    const QString file = config.autostart(EntryFile);
    ScratchConfig::write(file, "# written by hand\n"
                               "[Desktop Entry]\n"
                               "Name=Сонник\n"
                               "Type=Application\n"
                               "Exec=/old/place/kelmor /tray\n"
                               "Hidden=true\n"
                               "X-KDE-autostart-phase=2\n"
                               "\n"
                               "[Desktop Action Extra]\n"
                               "Name=Extra\n"
                               "Exec=/old/place/kelmor --extra\n");
    EXPECT_FALSE(isRun(EntryName));
    writeRun(EntryName, QStringLiteral("/new/place/kelmor /tray"));
    writeRun(EntryName, QStringLiteral("/new/place/kelmor /tray"));
    EXPECT_EQ(QDir(config.autostart(QString())).entryList(QDir::Files), QStringList{EntryFile});
    const QByteArray bytes = ScratchConfig::read(file);
    EXPECT_TRUE(bytes.startsWith("# written by hand\n[Desktop Entry]\nName=Сонник\n"));
    EXPECT_TRUE(bytes.contains("\nExec=/new/place/kelmor /tray\n"));
    EXPECT_FALSE(bytes.contains("Hidden"));
    EXPECT_TRUE(bytes.contains("X-KDE-autostart-phase=2\n"));
    EXPECT_TRUE(
        bytes.contains("[Desktop Action Extra]\nName=Extra\nExec=/old/place/kelmor --extra"));
    EXPECT_EQ(readRun(EntryName), QStringLiteral("/new/place/kelmor /tray"));
}

TEST(Autostart, DeletingRemovesTheEntry)
{
    ScratchConfig config;
    writeRun(EntryName, QStringLiteral("/opt/kelmor/kelmor /tray"));
    EXPECT_TRUE(Registry::DeleteValue(HKEY_CURRENT_USER, RunKeyPath, EntryName));
    EXPECT_FALSE(QFile::exists(config.autostart(EntryFile)));
    EXPECT_FALSE(isRun(EntryName));
    EXPECT_TRUE(Registry::DeleteValue(HKEY_CURRENT_USER, RunKeyPath, EntryName));
}

TEST(Autostart, DeletingBesideASystemEntryHidesIt)
{
    ScratchConfig config;
    ScratchConfig::write(config.system(QStringLiteral("autostart/") + EntryFile),
                         "[Desktop Entry]\nType=Application\nName=K\nExec=/usr/bin/kelmor\n");
    writeRun(EntryName, QStringLiteral("/opt/kelmor/kelmor /tray"));
    EXPECT_TRUE(Registry::DeleteValue(HKEY_CURRENT_USER, RunKeyPath, EntryName));
    const QString file = config.autostart(EntryFile);
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_TRUE(ScratchConfig::read(file).contains("\nHidden=true\n"));
    expectValid(file);
    EXPECT_FALSE(isRun(EntryName));
}

TEST(Autostart, ReadingReflectsWhatTheDesktopSettingsLeft)
{
    ScratchConfig config;
    const QString file = config.autostart(EntryFile);
    const struct
    {
        const char *what;
        QByteArray contents; // empty: the file removed
        bool present;
        const char *command;
    } cases[] = {
        {"removed", {}, false, nullptr},
        {"hidden", "[Desktop Entry]\nType=Application\nExec=/a/kelmor /tray\nHidden=true\n", false,
         nullptr},
        {"hidden, spaced", "[Desktop Entry]\nExec=/a/kelmor\nHidden = True\n", false, nullptr},
        {"switched off in GNOME",
         "[Desktop Entry]\nExec=/a/kelmor\nX-GNOME-Autostart-enabled=false\n", false, nullptr},
        {"no Exec", "[Desktop Entry]\nType=Application\nName=K\n", false, nullptr},
        {"not a desktop file", "Exec=/a/kelmor\n", false, nullptr},
        {"edited command", "[Desktop Entry]\nExec=/usr/bin/other --flag %U\n", true,
         "/usr/bin/other --flag"},
        {"quoted program", "[Desktop Entry]\nExec=\"/opt/my apps/kelmor\" /tray\nHidden=false\n",
         true, "\"/opt/my apps/kelmor\" /tray"},
    };
    for (const auto &c : cases) {
        writeRun(EntryName, QStringLiteral("/opt/kelmor/kelmor /tray"));
        ASSERT_TRUE(isRun(EntryName));
        if (c.contents.isEmpty())
            QFile::remove(file);
        else
            ScratchConfig::write(file, c.contents);
        EXPECT_EQ(isRun(EntryName), c.present) << c.what;
        if (c.present) {
            EXPECT_EQ(readRun(EntryName), QString::fromUtf8(c.command)) << c.what;
        }
        const auto rows = Registry::SubValues(HKEY_CURRENT_USER, RunKeyPath);
        EXPECT_EQ(rows.size(), c.present ? 1 : 0) << c.what;
    }
}

TEST(Autostart, CommandLinesBecomeExecLinesAndReadBack)
{
    ScratchConfig config;
    const QString spaced = config.path("My Apps") + QStringLiteral("/kelmor");
    makeExecutable(spaced);
    const struct
    {
        QString command;
        QString exec;
        QStringList arguments;
    } cases[] = {
        {QStringLiteral("/opt/kelmor/kelmor /tray"),
         QStringLiteral("/opt/kelmor/kelmor /tray"),
         {QStringLiteral("/opt/kelmor/kelmor"), QStringLiteral("/tray")}},
        // An unquoted path with a space, as the registry keeps it: the executable is found.
        {spaced + QStringLiteral(" /tray"),
         QLatin1Char('"') + spaced + QStringLiteral("\" /tray"),
         {spaced, QStringLiteral("/tray")}},
        {QStringLiteral("\"/opt/my apps/kelmor\" /tray"),
         QStringLiteral("\"/opt/my apps/kelmor\" /tray"),
         {QStringLiteral("/opt/my apps/kelmor"), QStringLiteral("/tray")}},
        {QStringLiteral("/opt/kelmor 100%"),
         QStringLiteral("/opt/kelmor 100%%"),
         {QStringLiteral("/opt/kelmor"), QStringLiteral("100%")}},
        {QStringLiteral("/opt/kelmor $HOME"),
         QStringLiteral("/opt/kelmor \"\\$HOME\""),
         {QStringLiteral("/opt/kelmor"), QStringLiteral("$HOME")}},
        {QStringLiteral("/opt/k\\x/kelmor"),
         QStringLiteral("\"/opt/k\\\\x/kelmor\""),
         {QStringLiteral("/opt/k\\x/kelmor")}},
        {QStringLiteral("/opt/kelmor \"a \\\"b\\\"\""),
         QStringLiteral("/opt/kelmor \"a \\\"b\\\"\""),
         {QStringLiteral("/opt/kelmor"), QStringLiteral("a \"b\"")}},
    };
    int n = 0;
    for (const auto &c : cases) {
        const QStringList arguments = splitCommandLine(c.command);
        EXPECT_EQ(arguments, c.arguments) << c.command.toStdString();
        EXPECT_EQ(execLine(arguments), c.exec) << c.command.toStdString();
        EXPECT_EQ(execArguments(c.exec), std::optional<QStringList>(c.arguments))
            << c.exec.toStdString();

        // Through the registry: the entry is valid and reads back as written.
        const QString name = QStringLiteral("Case%1").arg(n++);
        writeRun(name, c.command);
        expectValid(config.autostart(name + QStringLiteral(".desktop")));
        EXPECT_EQ(readRun(name), c.command);
    }
    EXPECT_EQ(execArguments(QStringLiteral("kelmor %U --x %%f")),
              std::optional<QStringList>(
                  {QStringLiteral("kelmor"), QStringLiteral("--x"), QStringLiteral("%f")}));
    EXPECT_EQ(execArguments(QStringLiteral("\"unterminated")), std::nullopt);
    EXPECT_EQ(unescapeDesktopString(escapeDesktopString(QStringLiteral(" a\\b\nc\t"))),
              QStringLiteral(" a\\b\nc\t"));
}

TEST(Autostart, ValuesThatCannotRunStayInTheStore)
{
    ScratchConfig config;
    writeRun(EntryName, QStringLiteral("/opt/kelmor/kelmor /tray"));
    // A number of the same name replaces the entry.
    Registry::SetValue(HKEY_CURRENT_USER, RunKeyPath, EntryName, kelmor::registry::REG_DWORD, 7);
    EXPECT_FALSE(QFile::exists(config.autostart(EntryFile)));
    EXPECT_EQ(Registry::Value(HKEY_CURRENT_USER, RunKeyPath, EntryName).toUInt(), 7u);
    // A blank command, a name that cannot be a file name and the default value.
    writeRun(QStringLiteral("Blank"), QStringLiteral("  "));
    writeRun(QStringLiteral("a/b"), QStringLiteral("/opt/x"));
    writeRun(QString(), QStringLiteral("/opt/y"));
    EXPECT_EQ(QDir(config.autostart(QString())).entryList(QDir::Files), QStringList());
    EXPECT_EQ(readRun(QStringLiteral("a/b")), QStringLiteral("/opt/x"));
    writeRun(QStringLiteral("Other"), QStringLiteral("/opt/other"));
    const auto rows = Registry::SubValues(HKEY_CURRENT_USER, RunKeyPath);
    QStringList names;
    for (const auto &row : rows)
        names << row.first;
    EXPECT_EQ(names, (QStringList{EntryName, QStringLiteral("Blank"), QStringLiteral("a/b"),
                                  QString(), QStringLiteral("Other")}));
}

TEST(Autorun, TheCommandThatStartedTheProgramIsWhatTheSessionStarts)
{
    // Started through the `kelmor` command, the program is written as that command; a value that
    // names no executable file (relative, missing, not executable) leaves the program's own path.
    ScratchConfig config;
    QTemporaryDir bin;
    ASSERT_TRUE(bin.isValid());
    const QString command = bin.filePath(QStringLiteral("kelmor"));
    const QString plain = bin.filePath(QStringLiteral("plain"));
    for (const QString &file : {command, plain}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    QFile::setPermissions(command, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const QString own = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    const struct
    {
        QString value;
        QString expected;
    } cases[] = {
        {command, QFileInfo(command).canonicalFilePath()},
        {QStringLiteral("kelmor"), own},
        {bin.filePath(QStringLiteral("missing")), own},
        {plain, own},
    };
    for (const auto &c : cases) {
        qputenv("KELMOR_LAUNCHER", c.value.toUtf8());
        EXPECT_EQ(kelmor::shell::AutorunCommand(), c.expected + QStringLiteral(" /tray"))
            << c.value.toStdString();
    }
    qunsetenv("KELMOR_LAUNCHER");
}

TEST(Autorun, SetAutorunWritesTheProgramWithTray)
{
    ScratchConfig config;
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    EXPECT_EQ(kelmor::shell::AutorunCommand(), program + QStringLiteral(" /tray"));
    EXPECT_FALSE(kelmor::shell::IsAutorunOn());

    // Enabling twice leaves one entry; an entry from another folder is replaced.
    writeRun(EntryName, QStringLiteral("/old/place/kelmor /tray"));
    kelmor::shell::SetAutorun(true);
    kelmor::shell::SetAutorun(true);
    EXPECT_TRUE(kelmor::shell::IsAutorunOn());
    EXPECT_EQ(readRun(EntryName), program + QStringLiteral(" /tray"));
    EXPECT_EQ(QDir(config.autostart(QString())).entryList(QDir::Files), QStringList{EntryFile});
    const QString file = config.autostart(EntryFile);
    EXPECT_TRUE(ScratchConfig::read(file).contains(
        ("\nExec=" + execLine({program, QStringLiteral("/tray")}) + "\n").toUtf8()));
    expectValid(file);
    // The session would run exactly the program with the switch.
    const auto arguments =
        execArguments(unescapeDesktopString(QString::fromUtf8(ScratchConfig::read(file))
                                                .section(QStringLiteral("\nExec="), 1)
                                                .section(QLatin1Char('\n'), 0, 0)));
    EXPECT_EQ(arguments, std::optional<QStringList>({program, QStringLiteral("/tray")}));

    // Disabling twice: off, and the second changes and reports nothing.
    kelmor::shell::SetAutorun(false);
    EXPECT_FALSE(kelmor::shell::IsAutorunOn());
    EXPECT_NO_THROW(kelmor::shell::SetAutorun(false));
    EXPECT_FALSE(QFile::exists(file));

    // Any data under the name counts.
    writeRun(EntryName, QStringLiteral("/somewhere/else/other.bin"));
    EXPECT_TRUE(kelmor::shell::IsAutorunOn());
}

TEST(Autorun, AFailingWriteRaisesForTheCallerToIgnore)
{
    ScratchConfig config;
    // A file where the autostart folder should be.
    ScratchConfig::write(config.config(QStringLiteral("autostart")), "not a folder");
    try {
        kelmor::shell::SetAutorun(true);
        ADD_FAILURE() << "SetAutorun(true) did not raise";
    } catch (const RegistryError &error) {
        EXPECT_EQ(error.number(), ERROR_CANTWRITE);
        EXPECT_EQ(error.source(), QStringLiteral("RegistryClass"));
        EXPECT_FALSE(error.description().isEmpty());
    }
    EXPECT_FALSE(kelmor::shell::IsAutorunOn());
}
