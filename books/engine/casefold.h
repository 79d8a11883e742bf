#pragma once

// Unicode simple case folding for the scripts dream books use: Basic Latin, Latin-1, Latin
// Extended-A, Latin Extended Additional, Greek and Cyrillic. Characters outside those blocks,
// and characters without a simple folding, are left as they are. "Ё" folds to "ё", never
// to "е".

#include <string>
#include <string_view>

namespace kelmor::books {

char16_t foldCase(char16_t c);
std::u16string foldCase(std::u16string_view text);

} // namespace kelmor::books
