// Fuzz target of what a user types into the search inside the interpretations: the query
// reader, the FTS5 expression it makes (which FTS5 must always accept: never an error, never
// syntax of the user's), the search over a small index, and the same bytes read as an article
// by the index's tokenizer (every token inside the text, in order).

#include "books/engine/book_writer.h"
#include "books/word_forms.h"
#include "fulltext/fulltext_index.h"
#include "fulltext/sqlite_connection.h"
#include "fulltext/word_tokens.h"
#include "platform/cache_folder.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <memory>

using namespace kelmor;

namespace {

struct Fixture
{
    QTemporaryDir dir;
    std::shared_ptr<fulltext::FulltextIndex> index;
    std::vector<fulltext::BookRef> books;

    Fixture()
    {
        books::BookSource source;
        source.config.toolName = u"Сонник";
        source.config.tolkName = u"Сонник";
        source.records = {{u"Змея", u"Змея во сне – к коварной женщине. Убить змею.", {}},
                          {u"Вода", u"Стоячая вода – к застою. NEAR AND OR NOT body.", {}},
                          {u"Дом", u"Кто-то в доме: вода, Ёлка, \"кавычки\" и * - : ^.", {}}};
        const QString path = dir.filePath(QStringLiteral("a.book"));
        books::writeBookFile(source, QFile::encodeName(path).toStdString());
        index = fulltext::FulltextIndex::open({{}, books::WordForms::systemDictionary()});
        const QString key = platform::bookCacheKey(path);
        if (index->indexBook(path, key, QStringLiteral("Сонник")).outcome !=
            fulltext::FulltextIndex::Outcome::Indexed)
            std::abort();
        books.push_back({key, QStringLiteral("Сонник")});
    }
};

struct Span
{
    int size;
    int last;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Fixture fixture;
    static fulltext::WordTokens tokens(books::WordForms::systemDictionary());
    const auto *bytes = reinterpret_cast<const char *>(data);
    const QString text = QString::fromUtf8(bytes, qsizetype(size));

    const fulltext::FulltextQuery query = fulltext::parseFulltextQuery(text);
    if (int(query.terms.size()) > fulltext::FulltextQuery::kMaxTerms)
        std::abort();
    for (const fulltext::QueryTerm &term : query.terms) {
        if (term.words.isEmpty() || term.words.size() > fulltext::FulltextQuery::kMaxPhraseWords)
            std::abort();
        for (const QString &word : term.words)
            for (QChar c : word)
                if (!c.isLetter() && !c.isMark() && !c.isSurrogate())
                    std::abort(); // only letters reach FTS5
    }
    try {
        const fulltext::FulltextResult result = fixture.index->search(query, fixture.books, 5);
        if (int(result.hits.size()) > result.total || result.hits.size() > 5)
            std::abort();
    } catch (const fulltext::SqliteError &) {
        std::abort(); // the user's text made FTS5 fail
    }

    Span span{int(size), 0};
    const int rc = tokens.tokenize(
        bytes, int(size), &span,
        [](void *context, int flags, const char *token, int length, int start, int end) {
            auto *s = static_cast<Span *>(context);
            if (!token || length <= 0 || start < s->last || start >= end || end > s->size ||
                (flags & ~1) != 0)
                std::abort();
            s->last = start;
            return 0;
        });
    if (rc != 0)
        std::abort();
    return 0;
}
