#pragma once

// Text files that come from the original platform (City.csv, registry files): written in its
// ANSI code page, Windows-1251 for Russian, or saved again by a modern editor as UTF-8.

#include <QByteArrayView>
#include <QString>

namespace kelmor::platform {

// UTF-8 when the bytes are valid UTF-8 throughout (a byte-order mark dropped; a Windows-1251
// Russian text is never valid UTF-8), else Windows-1251.
QString decodeAnsiText(QByteArrayView bytes);

} // namespace kelmor::platform
