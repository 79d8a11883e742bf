// Fuzz target of the registry files and the autostart entries. The first byte picks the mode:
//   0: the rest as a registry file, read leniently and strictly; what the strict reading gives
//      must come back unchanged from writing it and reading it again;
//   1: the rest as a registry file given to Registry::LoadFromFile, in a scratch settings
//      folder, then exported with SaveToFile and loaded again;
//   2: the rest as a desktop file: its Exec line's arguments, and the quoting of arguments
//      (the rest split at 0x01 bytes), which must read back unchanged.

#include "platform/autostart_entry.h"
#include "platform/regedit_file.h"
#include "registry/registry.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdlib>

#include <unistd.h>

using namespace kelmor::platform;
using kelmor::registry::Registry;
using kelmor::registry::RegistryError;

namespace {

// A settings folder of this process, so LoadFromFile writes only there; removed at exit.
class ScratchFolder
{
public:
    ScratchFolder()
        : m_path(QDir::tempPath() + QStringLiteral("/kelmor-fuzz-registry-%1").arg(::getpid()))
    {
        QDir(m_path).removeRecursively();
        QDir().mkpath(m_path);
        qputenv("XDG_CONFIG_HOME", m_path.toLocal8Bit());
        qputenv("XDG_CONFIG_DIRS", (m_path + QStringLiteral("/system")).toLocal8Bit());
    }
    ~ScratchFolder() { QDir(m_path).removeRecursively(); }
    const QString &path() const { return m_path; }

private:
    QString m_path;
};

const QString &scratchFolder()
{
    static const ScratchFolder folder;
    return folder.path();
}

void readBack(QByteArrayView bytes)
{
    (void)readRegeditFile(bytes, RegeditReading::Lenient);
    const RegeditContents strict = readRegeditFile(bytes, RegeditReading::Strict);
    if (!strict.isRegedit || strict.errorLine != 0)
        return;
    const RegeditContents again =
        readRegeditFile(writeRegeditFile(strict.keys), RegeditReading::Strict);
    if (again.errorLine != 0 || again.keys != strict.keys)
        std::abort();
}

void loadAndSave(QByteArrayView bytes)
{
    const QString folder = scratchFolder();
    const QString input = folder + QStringLiteral("/input.reg");
    const QString output = folder + QStringLiteral("/output.reg");
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    file.write(bytes.data(), bytes.size());
    file.close();
    try {
        if (Registry::LoadFromFile(input) &&
            Registry::SaveToFile(HKEY_CURRENT_USER, QString(), output))
            (void)Registry::LoadFromFile(output);
    } catch (const RegistryError &) {
        // Refusals (a read-only root, a name over the limits) are raised by design.
    }
    QFile::remove(registryStorePath());
    QDir(autostartFolder()).removeRecursively();
}

void desktopEntry(QByteArrayView bytes)
{
    if (const auto entry = DesktopEntryFile::parse(bytes)) {
        if (const auto exec = entry->value(QStringLiteral("Exec"))) {
            if (const auto arguments = execArguments(*exec))
                (void)joinCommandLine(*arguments);
        }
        DesktopEntryFile copy = *entry;
        copy.setValue(QStringLiteral("Exec"), QStringLiteral("x"));
        copy.removeKey(QStringLiteral("Hidden"));
        if (!DesktopEntryFile::parse(copy.toBytes()))
            std::abort();
    }
    const QStringList arguments = QString::fromUtf8(bytes).split(QChar(1), Qt::KeepEmptyParts);
    if (execArguments(execLine(arguments)) != arguments)
        std::abort();
    for (const QString &argument : arguments) {
        if (unescapeDesktopString(escapeDesktopString(argument)) != argument)
            std::abort();
    }
    (void)splitCommandLine(QString::fromUtf8(bytes));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    switch (data[0] % 3) {
    case 0:
        readBack(rest);
        break;
    case 1:
        loadAndSave(rest);
        break;
    default:
        desktopEntry(rest);
        break;
    }
    return 0;
}
