#include "books/word_list_forms.h"

#include "books/wordlist.h"

namespace kelmor::books {

QStringList headwordsOf(const WordList &list)
{
    QStringList out;
    out.reserve(list.count());
    for (int row = 0; row < list.count(); ++row)
        out << list.word(row);
    return out;
}

QString formCaption(const QString &typed, const QString &headword)
{
    return QStringLiteral("«") + typed.trimmed() + QStringLiteral("» → ") + headword;
}

} // namespace kelmor::books
