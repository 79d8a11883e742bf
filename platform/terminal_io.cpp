#include "platform/terminal_io.h"

namespace kelmor::platform {

void writeTo(std::FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

std::optional<QByteArray> readStandardInput(std::size_t limit)
{
    QByteArray bytes;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
        if (std::size_t(bytes.size()) + got > limit)
            return std::nullopt;
        bytes.append(buffer, qsizetype(got));
    }
    return bytes;
}

} // namespace kelmor::platform
