#include "platform/ansi_text.h"

#include "books/engine/textcodec.h"

#include <QStringDecoder>

namespace kelmor::platform {

QString decodeAnsiText(QByteArrayView bytes)
{
    const QByteArrayView body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(body);
    if (!utf8.hasError())
        return text;
    const std::u16string wide =
        books::fromCp1251(std::string_view(bytes.data(), std::size_t(bytes.size())));
    return QString::fromUtf16(wide.data(), qsizetype(wide.size()));
}

} // namespace kelmor::platform
