#pragma once

#include "viewer/interpretation.h"

#include <QByteArray>
#include <QStringList>

namespace kelmor::books {
class Catalogue;
}

namespace kelmor::viewer {

// "kelmor lookup [--raw] WORD...": prints the interpretation of the word (the arguments joined
// by spaces) from the enabled books of the books folder, without a window or a display.
// Headings and articles, then the links, with colours when standard output is a terminal and
// without the marker characters; --raw prints the document text exactly as assembled.
// A book that carries the marker but cannot be opened is named on standard error (its path
// and the reason); the other books still answer. A book that fails while its article is read
// shows the reason in its section.
// Exit status 0; 1 when no enabled book has the word; 2 for usage errors and missing books.
// Needs no QCoreApplication. Books read from their tables are indexed afterwards by a detached
// process (platform/detached_work.h).
int runLookupCommand(const QStringList &args);

// Loads the catalogue of the books folder with the stored enabled states, for a terminal
// command: 0, or the exit status 2 after the Russian message on standard error when there are
// no books to read. Books that could not be opened are named on standard error after the
// command's name.
int loadCommandCatalogue(books::Catalogue &catalogue,
                         const QString &command = QStringLiteral("kelmor lookup"));

// The document as terminal text: markers and hidden characters left out, CR LF as a newline,
// with ANSI styles when `ansi` is set.
QByteArray terminalText(std::u16string_view document, std::size_t wordLength,
                        std::span<const HeadingStyle> headings, bool ansi);
// Any formatted text the same way, by its runs.
QByteArray terminalTextOfRuns(std::u16string_view document, std::span<const FormatRun> runs,
                              bool ansi);

} // namespace kelmor::viewer
