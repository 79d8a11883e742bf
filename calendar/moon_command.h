#pragma once

#include <QStringList>

namespace kelmor::calendar {

// "kelmor moon [--at "YYYY-MM-DD HH:MM:SS"] [--lat DEG --lon DEG] [--json]": prints what the
// moon calendar shows for a local moment (default: now) at a place (default: the stored
// location), without opening a window. args are the arguments after "moon". Returns the process
// exit status: 0 on success, 2 for bad arguments, 1 when the computation fails.
int runMoonCommand(const QStringList &args);

} // namespace kelmor::calendar
