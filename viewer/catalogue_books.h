#pragma once

// The book catalogue as the interpretation assembly sees it.

#include "viewer/interpretation.h"

#include <memory>
#include <vector>

namespace kelmor::books {
class Catalogue;
class FormResolver;
class WordForms;
} // namespace kelmor::books

namespace kelmor::viewer {

// Every book of the catalogue in catalogue order, with its title, colour, current enabled state
// and record count; seeking a word reads the catalogue's open table. The catalogue must outlive
// the list. Seeking throws books::JetError when the book cannot be read.
std::vector<InterpretationBook> interpretationBooks(const books::Catalogue &catalogue);

// The headword resolver over the word list of the catalogue's enabled books, the list read here
// once. Its index is built on first need.
std::unique_ptr<books::FormResolver> formResolver(const books::Catalogue &catalogue,
                                                  std::shared_ptr<const books::WordForms> forms);

} // namespace kelmor::viewer
