#pragma once

// Where Kelmor keeps files it can always make again (indexes of the books): the user's cache
// folder, $XDG_CACHE_HOME/kelmor (default ~/.cache/kelmor). A cache is only ever an
// accelerator: whatever is missing, stale, damaged or unwritable there is rebuilt or done
// without, and the books themselves are never written.

#include <QString>

namespace kelmor::platform {

// $XDG_CACHE_HOME/kelmor, or ~/.cache/kelmor when XDG_CACHE_HOME is unset or not absolute.
// The folder is not created here.
QString cacheFolder();

// A book file's identity for a cache: its full path, size and modification time (nanoseconds),
// as "path\nsize\nmtime". A book whose key changed is indexed anew; empty when the file cannot
// be read.
QString bookCacheKey(const QString &bookPath);

} // namespace kelmor::platform
