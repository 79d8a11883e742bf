#pragma once

// Switching the keyboard input to a layout named like a Windows keyboard layout identifier
// ("00000419" is Russian), so that the user types Russian headwords without switching by hand.

#include <QString>
#include <QStringList>

namespace kelmor::platform {

// The identifier of an XKB layout name ("ru" → "00000419", "us" → "00000409"); empty when the
// layout has none known here.
QString LayoutIdForXkb(const QString &xkbLayout);
// The configured XKB layouts from the output of "setxkbmap -query" ("layout: us,ru").
QStringList XkbLayoutsFromQuery(const QString &queryOutput);

// If the current layout already has that identifier, true; otherwise activates the configured
// layout that has it and returns whether the current layout now has it. On X11 this switches the
// XKB group; elsewhere (Wayland, no display) it returns false. Never raises an error.
bool SwitchKeyboardLayout(const QString &name);
// SwitchKeyboardLayout("00000419"); the result is ignored.
void SetRus();

} // namespace kelmor::platform
