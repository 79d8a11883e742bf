#pragma once

#include "calendar/lunarday.h"

#include <QStringList>

#include <optional>

namespace kelmor::calendar {

// "kelmor moon [--at "YYYY-MM-DD HH:MM:SS"] [--lat DEG --lon DEG] [--json]": prints what the
// moon calendar shows for a local moment (default: now) at a place (default: the stored
// location), without opening a window. args are the arguments after "moon". Returns the process
// exit status: 0 on success, 2 for bad arguments, 1 when the computation fails.
int runMoonCommand(const QStringList &args);

// The local clock now, to the whole second.
DateTime localNow();

// A local moment as the terminal commands take it, "ГГГГ-ММ-ДД ЧЧ:ММ:СС" (or with "T"), from
// 1583 on; std::nullopt and the Russian reason in *error when the text is not one.
std::optional<DateTime> parseMomentText(const QString &text, QString *error = nullptr);

} // namespace kelmor::calendar
