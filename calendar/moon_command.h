#pragma once

#include <QStringList>

namespace kelmor::calendar {

// "kelmor moon [--at ...] [--lat DEG --lon DEG] [--json]": prints the lunar-day report without
// opening a window. args are the arguments after "moon". Returns the process exit status.
int runMoonCommand(const QStringList &args);

} // namespace kelmor::calendar
