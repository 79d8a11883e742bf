#pragma once

// The file format of the library's roots (books/roots_dictionary.h): a text header naming the
// dictionary and the forms indexes the roots were taken for, with a checksum of everything after
// it, then the roots as a Hunspell word list. Standard library only, so it fuzzes without Qt.
//
//   kelmor roots 1
//   <checksum: 16 hexadecimal digits of the rest of the file>
//   <the dictionary's key>
//   <the number of forms keys>
//   <a forms key>                 (as many lines, sorted)
//   <the word list>               (its count of lines, then the lines)
//
// Keys are written with "\\" for a backslash and "\n" for a line break, so each takes one line.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelmor::books {

struct RootsFile
{
    std::string dictionaryKey;         // the whole dictionary's cache key
    std::vector<std::string> formKeys; // the forms indexes' keys the roots were taken for, sorted
    std::string words; // a Hunspell word list: the count of lines, then the lines kept
};

std::string encodeRootsFile(const RootsFile &file);
// std::nullopt for anything but a whole roots file (another file, cut short, changed, keys out
// of order or a count that does not match). Without verifyChecksum the checksum is not compared
// (so that a fuzzer's changes reach the checks behind it).
std::optional<RootsFile> decodeRootsFile(std::string_view bytes, bool verifyChecksum = true);

} // namespace kelmor::books
