#pragma once

// Work that outlives the command asking for it: a process of its own, in a session of its own,
// with no terminal (its standard streams are /dev/null) and a lower priority, so that a terminal
// command answers at once and leaves the slow part (indexing books) behind it, as version control
// tools leave their housekeeping.

#include <functional>

namespace kelmor::platform {

// Runs work in a child process that this one does not wait for; returns at once, false when no
// process could be started. Only the calling thread lives on in the child: work must not need
// the others, nor anything they may hold. The child ends when work returns (or throws), without
// this process's exit handlers.
bool runDetached(const std::function<void()> &work);

} // namespace kelmor::platform
