#pragma once

// Writes dream book files: a Jet 4 database with the tables Book and Config, carrying the book
// marker in bytes 0..21. Standard library only.

#include <optional>
#include <string>
#include <vector>

namespace kelmor::books {

struct BookConfig
{
    // The icon's raw image bytes as a Windows-1251 string, i.e. fromCp1251(bytes).
    std::optional<std::u16string> icon;
    std::u16string toolName;
    std::optional<std::u16string> tolkName;
    std::optional<std::u16string> color;
};

struct BookRecord
{
    std::u16string list;
    std::optional<std::u16string> text;
    std::optional<std::u16string> links;
};

struct BookSource
{
    BookConfig config;
    std::vector<BookRecord> records;
};

// How BookRecord::text and ::links are given: Decompressed texts are compressed with
// CompressText before they are stored; Raw values are stored exactly as given (damaged
// streams in tests).
enum class StoredForm { Decompressed, Raw };

// Builds the file's bytes. Throws JetWriteError for a value that does not fit (a headword or
// Config text over 255 characters) and std::invalid_argument for a Decompressed text with a
// character that Windows-1251 cannot encode.
std::vector<std::uint8_t> buildBookFile(const BookSource &source,
                                        StoredForm form = StoredForm::Decompressed,
                                        bool withMarker = true);

// buildBookFile, written atomically (temporary file, then rename): path never holds a partial
// book.
void writeBookFile(const BookSource &source, const std::string &path,
                   StoredForm form = StoredForm::Decompressed, bool withMarker = true);

} // namespace kelmor::books
