#pragma once

// The filter of obscene words: a text not found in the dictionary that contains one of them is
// answered with its own message instead of the not-found message.

#include <QString>
#include <QStringList>

namespace kelmor::tray {

// The filter's patterns, in the order tested: "*" matches any run of characters (none too),
// every other character matches itself exactly ("ё" and "е" differ).
const QStringList &obscenePatterns();

// Whether text matches a pattern of literal characters and "*" wildcards, character by
// character (no other character is special).
bool matchesWildcard(QStringView text, QStringView pattern);

// Whether the word, trimmed of surrounding spaces and in lower case, matches one of the
// patterns.
bool IsMat(const QString &word);

} // namespace kelmor::tray
