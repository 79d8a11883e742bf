#pragma once

#include <QLoggingCategory>

namespace kelmor::tray {

// The tray popup's steps (opened, completed, Enter, closed and why); off unless enabled, e.g.
// QT_LOGGING_RULES="kelmor.tray.info=true".
Q_DECLARE_LOGGING_CATEGORY(lcTray)

} // namespace kelmor::tray
