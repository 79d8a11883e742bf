#pragma once

#include <QLoggingCategory>

namespace kelmor::shell {

// Life-cycle messages (start, tray, second start, exit); off unless enabled, e.g.
// QT_LOGGING_RULES="kelmor.shell.info=true".
Q_DECLARE_LOGGING_CATEGORY(lcShell)

} // namespace kelmor::shell
