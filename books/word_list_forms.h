#pragma once

// The word list and the forms of words: what the dictionary needs to find the headword of a
// word typed in any form.

#include "books/word_forms.h"

#include <QString>
#include <QStringList>

namespace kelmor::books {

class WordList;

// The list's headwords in list order (row i is headword i), for a FormResolver.
QStringList headwordsOf(const WordList &list);

// The status caption when a typed text found its headword through a form: «змеи» → Змея.
QString formCaption(const QString &typed, const QString &headword);

} // namespace kelmor::books
