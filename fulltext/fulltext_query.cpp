#include "fulltext/fulltext_query.h"

#include "books/word_forms.h"
#include "fulltext/word_tokens.h"

#include <utility>

namespace kelmor::fulltext {

namespace {

bool isQuote(QChar c)
{
    switch (c.unicode()) {
    case u'"':
    case u'\u00AB': // «
    case u'\u00BB': // »
    case u'\u201C': // “
    case u'\u201D': // ”
    case u'\u201E': // „
        return true;
    default:
        return false;
    }
}

bool onlyHyphens(QStringView gap)
{
    if (gap.isEmpty())
        return false;
    for (QChar c : gap)
        if (c != u'-' && c != u'\u2010' && c != u'\u2011')
            return false;
    return true;
}

} // namespace

QString FulltextQuery::matchExpression() const
{
    QStringList strings;
    for (const QueryTerm &term : terms) {
        QString joined = term.words.join(u' ');
        joined.replace(u'"', QLatin1String("\"\"")); // never a letter, but never unescaped either
        strings << QLatin1Char('"') + joined + QLatin1Char('"');
    }
    return strings.join(u' ');
}

QString FulltextQuery::describe() const
{
    QStringList parts;
    for (const QueryTerm &term : terms)
        parts << (term.isPhrase() ? QChar(0x00AB) + term.words.join(u' ') + QChar(0x00BB)
                                  : term.words.join(u' '));
    return parts.join(u' ');
}

FulltextQuery parseFulltextQuery(QStringView text)
{
    FulltextQuery query;
    const auto add = [&query](QStringList words) {
        if (words.isEmpty())
            return;
        if (int(query.terms.size()) >= FulltextQuery::kMaxTerms) {
            query.shortened = true;
            return;
        }
        if (words.size() > FulltextQuery::kMaxPhraseWords) {
            words = words.mid(0, FulltextQuery::kMaxPhraseWords);
            query.shortened = true;
        }
        query.terms.push_back({std::move(words)});
    };

    // Cut the text at the quotes: even pieces are outside, odd ones inside.
    qsizetype pieceStart = 0;
    bool inside = false;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !isQuote(text[i]))
            continue;
        const QStringView piece = text.mid(pieceStart, i - pieceStart);
        const std::vector<books::TextWord> words = books::splitWords(piece);
        QStringList current;
        for (std::size_t w = 0; w < words.size(); ++w) {
            const books::TextWord &word = words[w];
            if (word.length > WordTokens::kMaxWordLength) {
                // Not a word: what stood on either side of it is not together.
                add(std::exchange(current, {}));
                continue;
            }
            if (!inside && !current.isEmpty()) {
                const books::TextWord &before = words[w - 1];
                const qsizetype gapStart = before.start + before.length;
                if (!onlyHyphens(piece.mid(gapStart, word.start - gapStart))) {
                    add(std::exchange(current, {}));
                }
            }
            current << piece.mid(word.start, word.length).toString();
        }
        add(std::move(current));
        inside = !inside;
        pieceStart = i + 1;
    }
    return query;
}

} // namespace kelmor::fulltext
