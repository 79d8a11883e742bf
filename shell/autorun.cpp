#include "shell/autorun.h"

#include "platform/program_path.h"
#include "registry/registry.h"

#include <QFileInfo>
#include <QLoggingCategory>

namespace kelmor::shell {

namespace {
Q_LOGGING_CATEGORY(lcAutorun, "kelmor.autorun", QtWarningMsg)
}

using registry::Registry;

QString AutorunCommand()
{
    const QString program = platform::programPath();
    const QString real = QFileInfo(program).canonicalFilePath();
    return (real.isEmpty() ? program : real) + QStringLiteral(" /tray");
}

void SetAutorun(bool enable)
{
    if (enable)
        Registry::SetValue(registry::HKEY_CURRENT_USER, platform::RunKeyPath, AutorunValueName,
                           registry::REG_SZ, AutorunCommand());
    else
        Registry::DeleteValue(registry::HKEY_CURRENT_USER, platform::RunKeyPath, AutorunValueName);
}

bool IsAutorunOn()
{
    try {
        return Registry::IsThere(registry::HKEY_CURRENT_USER, platform::RunKeyPath,
                                 AutorunValueName);
    } catch (const registry::RegistryError &error) {
        qCWarning(lcAutorun).noquote() << error.description();
        return false;
    }
}

} // namespace kelmor::shell
