#pragma once

// Where Kelmor keeps files the user made and that cannot be made again (the dream journal):
// the user's data folder, $XDG_DATA_HOME/kelmor (default ~/.local/share/kelmor).

#include <QString>

namespace kelmor::platform {

// $XDG_DATA_HOME/kelmor, or ~/.local/share/kelmor when XDG_DATA_HOME is unset or not absolute.
// The folder is not created here.
QString dataHomeFolder();

} // namespace kelmor::platform
