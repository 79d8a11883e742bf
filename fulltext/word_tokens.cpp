#include "fulltext/word_tokens.h"

#include "books/word_forms.h"
#include "fulltext/sqlite_connection.h"

#include <sqlite3.h>

#include <algorithm>

namespace kelmor::fulltext {

namespace {

// UTF-8 to UTF-16 with the byte offset of every UTF-16 code unit (and one past the end). An
// invalid, overlong or truncated sequence gives U+FFFD for its first byte.
void decodeUtf8(const unsigned char *s, int n, QString &out, std::vector<int> &offsets)
{
    out.clear();
    offsets.clear();
    out.reserve(n);
    offsets.reserve(std::size_t(n) + 1);
    int i = 0;
    while (i < n) {
        const unsigned char lead = s[i];
        int more = 0;
        char32_t c = lead;
        char32_t least = 0;
        if ((lead & 0xE0) == 0xC0) {
            more = 1, c = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            more = 2, c = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            more = 3, c = lead & 0x07, least = 0x10000;
        } else if (lead >= 0x80) {
            c = 0xFFFD; // a continuation byte, or no UTF-8 lead byte at all
        }
        int width = 1;
        if (more > 0) {
            bool valid = true;
            for (int k = 1; valid && k <= more; ++k) {
                if (i + k >= n || (s[i + k] & 0xC0) != 0x80)
                    valid = false;
                else
                    c = (c << 6) | (s[i + k] & 0x3F);
            }
            if (valid && c >= least && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF))
                width = more + 1;
            else
                c = 0xFFFD;
        }
        if (c >= 0x10000) {
            out.append(QChar(QChar::highSurrogate(c)));
            offsets.push_back(i);
            out.append(QChar(QChar::lowSurrogate(c)));
            offsets.push_back(i);
        } else {
            out.append(QChar(char16_t(c)));
            offsets.push_back(i);
        }
        i += width;
    }
    offsets.push_back(n);
}

QByteArray tokenText(std::u16string folded)
{
    std::replace(folded.begin(), folded.end(), u'\u0451', u'\u0435'); // ё → е
    return QString::fromStdU16String(folded).toUtf8();
}

// The FTS5 tokenizer instance: the words' tokens of the connection.
struct Fts5Instance
{
    WordTokens *tokens = nullptr;
};

int createTokenizer(void *context, const char **, int, Fts5Tokenizer **out)
{
    *out = reinterpret_cast<Fts5Tokenizer *>(new Fts5Instance{static_cast<WordTokens *>(context)});
    return SQLITE_OK;
}

void deleteTokenizer(Fts5Tokenizer *tokenizer)
{
    delete reinterpret_cast<Fts5Instance *>(tokenizer);
}

int tokenizeText(Fts5Tokenizer *tokenizer, void *context, int, const char *text, int bytes,
                 int (*token)(void *, int, const char *, int, int, int))
{
    try {
        return reinterpret_cast<Fts5Instance *>(tokenizer)->tokens->tokenize(text, bytes, context,
                                                                             token);
    } catch (const std::bad_alloc &) {
        return SQLITE_NOMEM;
    } catch (...) {
        return SQLITE_ERROR;
    }
}

} // namespace

WordTokens::WordTokens(std::shared_ptr<const books::WordForms> forms)
    : m_keys(std::make_unique<books::FormResolver>(QStringList(), std::move(forms)))
{
}

WordTokens::~WordTokens() = default;

const std::vector<QByteArray> &WordTokens::cachedTokens(QStringView word)
{
    if (word.isEmpty() || word.size() > kMaxWordLength)
        return m_none;
    const QString key = word.toString();
    const auto found = m_cache.constFind(key);
    if (found != m_cache.cend())
        return *found;
    if (m_cache.size() >= kMaxCachedWords)
        m_cache.clear();
    std::vector<QByteArray> tokens;
    for (const std::u16string &folded : m_keys->keysOf(word).keys) {
        QByteArray token = tokenText(folded);
        if (!token.isEmpty() && std::find(tokens.begin(), tokens.end(), token) == tokens.end())
            tokens.push_back(std::move(token));
    }
    return *m_cache.insert(key, std::move(tokens));
}

int WordTokens::tokenize(const char *text, int bytes, void *context, TokenSink sink)
{
    if (!text || bytes <= 0)
        return 0;
    QString decoded;
    std::vector<int> offsets;
    decodeUtf8(reinterpret_cast<const unsigned char *>(text), bytes, decoded, offsets);
    for (const books::TextWord &word : books::splitWords(decoded)) {
        const std::vector<QByteArray> &tokens =
            cachedTokens(QStringView(decoded).mid(word.start, word.length));
        const int start = offsets[std::size_t(word.start)];
        const int end = offsets[std::size_t(word.start + word.length)];
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            const int rc = sink(context, i == 0 ? 0 : FTS5_TOKEN_COLOCATED, tokens[i].constData(),
                                int(tokens[i].size()), start, end);
            if (rc != 0)
                return rc;
        }
    }
    return 0;
}

void registerFormsTokenizer(SqliteConnection &connection, WordTokens *tokens)
{
    fts5_api *api = nullptr;
    {
        SqliteStatement statement = connection.prepare("SELECT fts5(?1)");
        statement.bindPointer(1, &api, "fts5_api_ptr");
        statement.step();
    }
    if (!api || api->iVersion < 2)
        throw SqliteError(SQLITE_ERROR, "FTS5 is not available in this SQLite");
    fts5_tokenizer tokenizer{createTokenizer, deleteTokenizer, tokenizeText};
    connection.check(api->xCreateTokenizer(api, kTokenizerName, tokens, &tokenizer, nullptr));
}

} // namespace kelmor::fulltext
