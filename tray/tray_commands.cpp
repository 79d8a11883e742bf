#include "tray/tray_commands.h"

#include "tray/exit_question.h"

namespace kelmor::tray {

namespace {

void call(const std::function<void()> &f)
{
    if (f)
        f();
}

} // namespace

QString TrayCommands::caption(int row)
{
    switch (row) {
    case Restore:
        return QStringLiteral("Развернуть");
    case Calendar:
        return QStringLiteral("Календарь");
    case About:
        return QStringLiteral("О программе");
    case Options:
        return QStringLiteral("Настройки");
    case Exit:
        return QStringLiteral("Выход");
    default:
        return {};
    }
}

void TrayCommands::run(int row) const
{
    switch (row) {
    case Restore:
        call(m_context.fromTray);
        break;
    case Calendar:
        call(m_context.unloadAll);
        call(m_context.showCalendar);
        break;
    case About:
        call(m_context.unloadAll);
        call(m_context.showAbout);
        break;
    case Options:
        call(m_context.unloadAll);
        call(m_context.showOptions);
        break;
    case Exit:
        exit();
        break;
    default:
        break;
    }
}

void TrayCommands::exit() const
{
    const bool autorun = m_context.isAutorunOn && m_context.isAutorunOn();
    const int unloadQ = m_context.unloadQ ? m_context.unloadQ() : 0;
    if (exitAsksQuestion(autorun, unloadQ)) {
        call(m_context.unloadAll);
        call(m_context.showExitQuestion);
    } else {
        call(m_context.exitApp);
    }
}

} // namespace kelmor::tray
