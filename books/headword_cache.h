#pragma once

// The headword indexes of the books in the cache folder ($XDG_CACHE_HOME/kelmor/headwords), one
// file per book named after its full path, holding the book's key (path, size, modification
// time) so that a changed book is indexed anew. The files are only an accelerator: one that is
// missing, stale, damaged, foreign or cannot be written is done without, and the books are never
// written. Files are replaced atomically (a temporary file renamed over the old one), so
// processes writing the same index at once leave one whole file or the other.

#include "books/headword_index.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>

namespace kelmor::books {

class Table;

// The folder of the index files: <cache folder>/headwords.
QString headwordCacheFolder();
// The index file of a book, by its full path.
QString headwordCachePath(const QString &bookPath);

// The index of a book's table, read through its rows (the table lists its rows); std::nullopt
// when a record has no headword or a headword does not fit the format. The sort keys are the
// word list's collation (Russian) as sort-key bytes.
std::optional<HeadwordIndexContent> buildHeadwordIndex(Table &book, const QString &bookKey);

// The key an index file of the book carries: the book's key (path, size, modification time)
// and the version of the collation its sort keys are of, so that indexes written under another
// collation are made anew instead of being merged with these.
std::string storedIndexKey(const QString &bookKey);

// The collation sort key of a text, in the word list's order.
std::string collationSortKey(std::u16string_view text);

// The book's index from its cache file when that file is whole, of this format and of this book
// key; nullptr otherwise.
std::unique_ptr<HeadwordIndex> openCachedHeadwordIndex(const QString &bookPath,
                                                       const QString &bookKey);
// The index built from the book's listed table, written to its cache file when the folder can
// be written, and used from memory either way. nullptr when the book cannot be indexed (a
// record without a headword, a read that fails); never throws.
std::unique_ptr<HeadwordIndex> indexAndStore(const QString &bookPath, const QString &bookKey,
                                             Table &listedBook);

// Writes the bytes as the file atomically; false when that fails (nothing is left behind).
bool writeCacheFile(const QString &path, const std::string &bytes);

} // namespace kelmor::books
