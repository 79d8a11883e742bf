#pragma once

// Standard streams for the terminal commands (kelmor lookup, dream, find, journal).

#include <QByteArray>

#include <cstddef>
#include <cstdio>
#include <optional>

namespace kelmor::platform {

// Writes bytes to stream and flushes it, so that what a command says comes out in order with
// the other stream.
void writeTo(std::FILE *stream, const QByteArray &bytes);

// Everything on standard input, up to limit bytes; std::nullopt when there is more.
std::optional<QByteArray> readStandardInput(std::size_t limit);

} // namespace kelmor::platform
