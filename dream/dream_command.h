#pragma once

#include <QStringList>

namespace kelmor::dream {

// "kelmor dream [--at "ГГГГ-ММ-ДД ЧЧ:ММ:СС"] [--raw]": reads a dream's text from standard input
// and prints its report (the text with its symbols, the calendar of the moment at the stored
// place, each symbol's interpretation from the enabled books) without a window: with terminal
// styles when standard output is a terminal, the document text as assembled with --raw.
// Exit status 0; 1 when the text names no headword of the enabled books; 2 for usage errors,
// an empty or too long text and missing books. Needs a QCoreApplication.
int runDreamCommand(const QStringList &args);

} // namespace kelmor::dream
