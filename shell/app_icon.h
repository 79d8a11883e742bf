#pragma once

#include <QIcon>

namespace kelmor::shell {

// The program's icon: a crescent moon on a night-blue disc, drawn at the sizes asked for.
QIcon applicationIcon();

} // namespace kelmor::shell
