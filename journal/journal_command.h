#pragma once

#include <QStringList>

namespace kelmor::journal {

// "kelmor journal add|list|show|export ...": the dream journal from a terminal, also while the
// program runs. args are the arguments after "journal". Exit status: 0 on success; 1 when
// nothing matched (list) or the entry does not exist (show); 2 for usage errors; 3 when the
// journal cannot be opened or written (the reason on standard error). Needs a
// QCoreApplication.
int runJournalCommand(const QStringList &args);

} // namespace kelmor::journal
