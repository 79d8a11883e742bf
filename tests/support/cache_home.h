#pragma once

// XDG_CACHE_HOME set for the life of the object: to a fresh temporary folder, or to the path
// given; the variable as it was comes back with the object's end.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace kelmor::testing {

class CacheHome
{
public:
    explicit CacheHome(const QString &path = {})
        : m_path(path.isEmpty() ? m_dir.path() : path)
        , m_old(qgetenv("XDG_CACHE_HOME"))
    {
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_path));
    }
    ~CacheHome() { qputenv("XDG_CACHE_HOME", m_old); }
    CacheHome(const CacheHome &) = delete;
    CacheHome &operator=(const CacheHome &) = delete;

    // A file or folder under the cache folder.
    QString filePath(const QString &name) const { return m_path + QLatin1Char('/') + name; }

private:
    QTemporaryDir m_dir;
    QString m_path;
    QByteArray m_old;
};

} // namespace kelmor::testing
