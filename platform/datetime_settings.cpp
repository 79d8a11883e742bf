#include "platform/datetime_settings.h"

#include <QProcess>
#include <QStandardPaths>

namespace kelmor::platform {

namespace {

std::function<QString()> &opener()
{
    static std::function<QString()> instance;
    return instance;
}

bool isOwnProgram(const DateTimeSettingsProgram &candidate, const QStringList &desktops)
{
    for (const QString &desktop : desktops) {
        if (candidate.desktops.contains(desktop, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString runDesktopSettings()
{
    const QStringList command =
        findDateTimeSettings(qEnvironmentVariable("XDG_CURRENT_DESKTOP"), [](const QString &name) {
            return QStandardPaths::findExecutable(name);
        });
    if (command.isEmpty())
        return QStringLiteral(
            "Не найдена программа настройки даты, времени и часового пояса. Установите "
            "настройки вашего рабочего стола (например, gnome-control-center, systemsettings, "
            "mate-time-admin или time-admin) или настройте дату и время командой timedatectl.");
    if (!QProcess::startDetached(command.first(), command.mid(1)))
        return QStringLiteral("Не удалось запустить программу настройки даты и времени «%1».")
            .arg(command.join(QLatin1Char(' ')));
    return {};
}

} // namespace

const QList<DateTimeSettingsProgram> &dateTimeSettingsPrograms()
{
    static const QList<DateTimeSettingsProgram> programs = {
        {QStringLiteral("gnome-control-center"),
         {QStringLiteral("datetime")},
         {QStringLiteral("GNOME"), QStringLiteral("Unity")}},
        {QStringLiteral("systemsettings"), {QStringLiteral("kcm_clock")}, {QStringLiteral("KDE")}},
        {QStringLiteral("kcmshell6"), {QStringLiteral("kcm_clock")}, {QStringLiteral("KDE")}},
        {QStringLiteral("kcmshell5"), {QStringLiteral("clock")}, {QStringLiteral("KDE")}},
        {QStringLiteral("cinnamon-settings"),
         {QStringLiteral("calendar")},
         {QStringLiteral("X-Cinnamon"), QStringLiteral("Cinnamon")}},
        {QStringLiteral("mate-time-admin"), {}, {QStringLiteral("MATE")}},
        {QStringLiteral("lxqt-admin-time"), {}, {QStringLiteral("LXQt")}},
        {QStringLiteral("budgie-control-center"),
         {QStringLiteral("datetime")},
         {QStringLiteral("Budgie")}},
        {QStringLiteral("time-admin"), {}, {QStringLiteral("XFCE"), QStringLiteral("LXDE")}},
    };
    return programs;
}

QStringList findDateTimeSettings(const QString &currentDesktop,
                                 const std::function<QString(const QString &)> &findExecutable)
{
    const QStringList desktops = currentDesktop.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    const auto &programs = dateTimeSettingsPrograms();
    // The current desktop's own programs first, then the rest, each group in the fixed order.
    for (const bool own : {true, false}) {
        for (const DateTimeSettingsProgram &candidate : programs) {
            if (isOwnProgram(candidate, desktops) != own)
                continue;
            const QString found = findExecutable(candidate.program);
            if (!found.isEmpty())
                return QStringList{found} + candidate.arguments;
        }
    }
    return {};
}

QString openDateTimeSettings()
{
    if (const auto &replacement = opener())
        return replacement();
    return runDesktopSettings();
}

void setDateTimeSettingsOpener(std::function<QString()> replacement)
{
    opener() = std::move(replacement);
}

} // namespace kelmor::platform
