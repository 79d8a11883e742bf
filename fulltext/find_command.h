#pragma once

#include <QStringList>

namespace kelmor::fulltext {

// "kelmor find WORDS… [--book NAME] [--limit N] [--json]": the articles of the enabled books
// (or of the books named, by ToolName or file name) whose text holds every word in any form,
// best first, without a window. Indexes the books that the cache has no index of first.
// One line per article: the headword, the book's name and a snippet, matched words in bold on
// a terminal and in square brackets otherwise; --json prints an array of objects with the keys
// "headword", "book" and "snippet".
// Exit status 0; 1 when nothing matches; 2 for usage errors and missing books.
// Needs a QCoreApplication.
int runFindCommand(const QStringList &args);

} // namespace kelmor::fulltext
