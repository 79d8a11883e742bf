#include "platform/program_path.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace kelmor::platform {

QString windowedProgramPath(const QString &launcherPath, const QString &relativePath)
{
    return QDir::cleanPath(QFileInfo(launcherPath).absolutePath() + QLatin1Char('/') +
                           relativePath);
}

QString programPath()
{
    const QString launcher = qEnvironmentVariable(LauncherVariable);
    if (!launcher.isEmpty() && QFileInfo(launcher).isAbsolute()) {
        const QFileInfo info(launcher);
        if (info.isFile() && info.isExecutable())
            return info.absoluteFilePath();
    }
    return QCoreApplication::applicationFilePath();
}

QString programFolder()
{
    return QFileInfo(programPath()).absolutePath();
}

} // namespace kelmor::platform
