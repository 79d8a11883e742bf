#include "platform/cache_folder.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

namespace kelmor::platform {

QString cacheFolder()
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return QDir::cleanPath(base + QStringLiteral("/kelmor"));
}

QString bookCacheKey(const QString &bookPath)
{
    const QString path = QFileInfo(bookPath).absoluteFilePath();
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    const qint64 mtime = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return path + QLatin1Char('\n') + QString::number(qint64(st.st_size)) + QLatin1Char('\n') +
           QString::number(mtime);
}

} // namespace kelmor::platform
