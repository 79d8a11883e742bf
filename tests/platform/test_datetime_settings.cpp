// The desktop's date and time settings: which program is chosen for which desktop, starting the
// one found on PATH, and the message when there is none.

#include "platform/datetime_settings.h"
#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QSet>
#include <QThread>

using namespace kelmor::platform;

namespace {

// Sets an environment variable for the scope and restores it.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, const QByteArray &value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

QByteArray readWhenThere(const QString &path)
{
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            if (bytes.endsWith('\n'))
                return bytes;
        }
        QThread::msleep(20);
    }
    return {};
}

} // namespace

TEST(DateTimeSettings, TheCurrentDesktopsOwnProgramComesFirst)
{
    const struct
    {
        QStringList installed;
        const char *desktop;
        QStringList expected;
    } cases[] = {
        {{"gnome-control-center", "systemsettings"}, "KDE", {"/bin/systemsettings", "kcm_clock"}},
        {{"gnome-control-center", "systemsettings"},
         "ubuntu:GNOME",
         {"/bin/gnome-control-center", "datetime"}},
        {{"kcmshell5", "mate-time-admin"}, "kde", {"/bin/kcmshell5", "clock"}},
        {{"kcmshell6", "kcmshell5"}, "KDE", {"/bin/kcmshell6", "kcm_clock"}},
        {{"cinnamon-settings", "gnome-control-center"},
         "X-Cinnamon",
         {"/bin/cinnamon-settings", "calendar"}},
        {{"time-admin", "mate-time-admin"}, "XFCE", {"/bin/time-admin"}},
        {{"lxqt-admin-time", "time-admin"}, "LXQt", {"/bin/lxqt-admin-time"}},
        // No desktop of its own among them, or none named: the first in the fixed order.
        {{"time-admin", "mate-time-admin"}, "", {"/bin/mate-time-admin"}},
        {{"time-admin", "systemsettings"}, "Unknown", {"/bin/systemsettings", "kcm_clock"}},
        {{}, "GNOME", {}},
        {{"xterm"}, "KDE", {}},
    };
    for (const auto &c : cases) {
        const QSet<QString> installed(c.installed.begin(), c.installed.end());
        QStringList asked;
        const QStringList found =
            findDateTimeSettings(QString::fromUtf8(c.desktop), [&](const QString &name) {
                asked << name;
                return installed.contains(name) ? QStringLiteral("/bin/") + name : QString();
            });
        EXPECT_EQ(found, c.expected) << c.desktop << " " << c.installed.join(',').toStdString();
        // Nothing is looked up that is not a known program.
        for (const QString &name : std::as_const(asked)) {
            EXPECT_TRUE(std::any_of(dateTimeSettingsPrograms().begin(),
                                    dateTimeSettingsPrograms().end(),
                                    [&](const auto &p) { return p.program == name; }))
                << name.toStdString();
        }
    }
}

TEST(DateTimeSettings, StartsTheProgramFoundOnPath)
{
    kelmor::testing::ScratchDir dir("kelmor-datetime-");
    const QString bin = QString::fromStdString(dir.path("bin"));
    const QString record = QString::fromStdString(dir.path("started"));
    std::filesystem::create_directories(bin.toStdString());
    // A stand-in for the settings: it writes its arguments and ends.
    const QString program = bin + QStringLiteral("/gnome-control-center");
    {
        QFile script(program);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho \"$@\" > \"" + record.toUtf8() + ".tmp\" && /bin/mv \"" +
                     record.toUtf8() + ".tmp\" \"" + record.toUtf8() + "\"\n");
    }
    QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);

    const ScopedEnv path("PATH", bin.toUtf8());
    const ScopedEnv desktop("XDG_CURRENT_DESKTOP", "GNOME");
    EXPECT_EQ(openDateTimeSettings(), QString());
    EXPECT_EQ(readWhenThere(record), "datetime\n");
}

TEST(DateTimeSettings, SaysSoWhenThereIsNone)
{
    kelmor::testing::ScratchDir dir("kelmor-datetime-");
    const ScopedEnv path("PATH", QByteArray::fromStdString(dir.root().string()));
    const QString message = openDateTimeSettings();
    EXPECT_TRUE(message.startsWith(
        QStringLiteral("Не найдена программа настройки даты, времени и часового пояса.")))
        << message.toStdString();

    // A replacement takes the call (the options window's tests use it).
    int calls = 0;
    setDateTimeSettingsOpener([&calls] {
        ++calls;
        return QString();
    });
    EXPECT_EQ(openDateTimeSettings(), QString());
    EXPECT_EQ(calls, 1);
    setDateTimeSettingsOpener({});
    EXPECT_FALSE(openDateTimeSettings().isEmpty());
}
