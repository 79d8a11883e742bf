#pragma once

#include <QUrl>

#include <functional>

namespace kelmor::platform {

// Opens a web page (or any URL) in the user's default application, as the desktop's "open"
// does. Returns false when no application took it.
bool openUrl(const QUrl &url);

// Replaces what openUrl does (tests record the address instead of starting a browser). An empty
// function restores the desktop's opener.
void setUrlOpener(std::function<bool(const QUrl &)> opener);

} // namespace kelmor::platform
