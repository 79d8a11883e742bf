#include "platform/data_folder.h"

#include <QDir>

namespace kelmor::platform {

QString dataHomeFolder()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(base + QStringLiteral("/kelmor"));
}

} // namespace kelmor::platform
