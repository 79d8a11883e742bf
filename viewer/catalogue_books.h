#pragma once

// The book catalogue as the interpretation assembly sees it.

#include "viewer/interpretation.h"

#include <vector>

namespace kelmor::books {
class Catalogue;
}

namespace kelmor::viewer {

// Every book of the catalogue in catalogue order, with its title, colour, current enabled state
// and record count; seeking a word reads the catalogue's open table. The catalogue must outlive
// the list. Seeking throws books::JetError when the book cannot be read.
std::vector<InterpretationBook> interpretationBooks(const books::Catalogue &catalogue);

} // namespace kelmor::viewer
