#pragma once

// Russian texts of operating-system error numbers, for messages that name a file: the C
// library's own texts follow the process locale and are English in the default one.

#include <string>

namespace kelmor::books {

// The text for an errno value, e.g. "нет такого файла или папки"; "системная ошибка N" for a
// number without a text of its own.
std::string osErrorText(int error);

} // namespace kelmor::books
