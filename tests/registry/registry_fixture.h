#pragma once

// A scratch settings folder for registry tests: XDG_CONFIG_HOME (the store file and the
// autostart folder) and XDG_CONFIG_DIRS (system-wide autostart entries) point into a fresh
// folder for the test and are restored afterwards.

#include "support/scratch_dir.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace kelmor::testing {

class ScratchConfig
{
public:
    explicit ScratchConfig(const std::string &prefix = "kelmor-registry-")
        : m_dir(prefix)
        , m_oldHome(qgetenv("XDG_CONFIG_HOME"))
        , m_oldDirs(qgetenv("XDG_CONFIG_DIRS"))
        , m_hadHome(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
        , m_hadDirs(qEnvironmentVariableIsSet("XDG_CONFIG_DIRS"))
    {
        std::filesystem::create_directories(m_dir / "config");
        std::filesystem::create_directories(m_dir / "system");
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(m_dir.path("config")));
        qputenv("XDG_CONFIG_DIRS", QByteArray::fromStdString(m_dir.path("system")));
    }
    ~ScratchConfig()
    {
        restore("XDG_CONFIG_HOME", m_hadHome, m_oldHome);
        restore("XDG_CONFIG_DIRS", m_hadDirs, m_oldDirs);
    }

    // A path inside the scratch folder.
    QString path(const std::string &name) const { return QString::fromStdString(m_dir.path(name)); }
    QString config(const QString &name) const { return path("config") + QLatin1Char('/') + name; }
    QString autostart(const QString &name) const
    {
        return config(QStringLiteral("autostart/") + name);
    }
    QString system(const QString &name) const { return path("system") + QLatin1Char('/') + name; }

    static QByteArray read(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void write(const QString &file, const QByteArray &bytes)
    {
        std::filesystem::create_directories(
            std::filesystem::path(file.toStdString()).parent_path());
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << file.toStdString();
        f.write(bytes);
    }

private:
    static void restore(const char *name, bool had, const QByteArray &old)
    {
        if (had)
            qputenv(name, old);
        else
            qunsetenv(name);
    }

    ScratchDir m_dir;
    QByteArray m_oldHome;
    QByteArray m_oldDirs;
    bool m_hadHome;
    bool m_hadDirs;
};

} // namespace kelmor::testing
