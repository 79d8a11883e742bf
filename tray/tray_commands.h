#pragma once

// The commands of the tray popup's rows, apart from the popup: what "Развернуть", "Календарь",
// "О программе", "Настройки" and "Выход" do in the main window.

#include <QString>

#include <functional>

namespace kelmor::tray {

class TrayCommands
{
public:
    // The rows, by index, in the order of their hot areas.
    enum Row { Restore = 0, Calendar = 1, About = 2, Options = 3, Exit = 4 };
    static constexpr int RowCount = 5;

    struct Context
    {
        // Leaves tray mode (the icon goes) and scrolls the word list to its selected word.
        std::function<void()> fromTray;
        // Closes the secondary windows: about box, city directory, options, calendar, viewer.
        std::function<void()> unloadAll;
        // The moon calendar, modeless, owned by the main window.
        std::function<void()> showCalendar;
        // The about box, modeless.
        std::function<void()> showAbout;
        // The options window on its first tab, modeless.
        std::function<void()> showOptions;
        // Whether the program starts at logon (IsAutorunOn).
        std::function<bool()> isAutorunOn;
        // The setting UnloadQ (1: do not ask again).
        std::function<int()> unloadQ;
        // The exit question, modally; it ends the program itself when confirmed.
        std::function<void()> showExitQuestion;
        // ExitApp with the user's state saved.
        std::function<void()> exitApp;
    };

    explicit TrayCommands(Context context)
        : m_context(std::move(context))
    {
    }

    // The caption of a row; empty for an index out of range.
    static QString caption(int row);

    // Runs a row's command; an index out of range does nothing.
    void run(int row) const;

    // "Выход": the question while autorun is on and UnloadQ is not 1 (the secondary windows
    // close first), otherwise ExitApp at once.
    void exit() const;

private:
    Context m_context;
};

} // namespace kelmor::tray
