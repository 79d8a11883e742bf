#include "platform/open_url.h"

#include <QDesktopServices>

namespace kelmor::platform {

namespace {

std::function<bool(const QUrl &)> &opener()
{
    static std::function<bool(const QUrl &)> instance;
    return instance;
}

} // namespace

bool openUrl(const QUrl &url)
{
    if (const auto &replacement = opener())
        return replacement(url);
    return QDesktopServices::openUrl(url);
}

void setUrlOpener(std::function<bool(const QUrl &)> replacement)
{
    opener() = std::move(replacement);
}

} // namespace kelmor::platform
