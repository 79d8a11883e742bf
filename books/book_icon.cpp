#include "books/book_icon.h"

#include "books/catalogue.h"
#include "books/engine/textcodec.h"

#include <QPainter>

namespace kelmor::books {

namespace {

constexpr int kIconSize = 32;

QImage makeDefaultImage()
{
    // A closed book seen from the front: cover outline, spine and page edges. The cover's inside
    // stays transparent, so a book's own icon drawn under it shows through.
    QImage img(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor cover(0x1f, 0x3a, 0x7a);
    p.setPen(QPen(cover, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(5, 2, 24, 26), 2, 2);
    p.setPen(QPen(cover.darker(130), 3.0));
    p.drawLine(QPointF(7, 3), QPointF(7, 27)); // spine
    p.setPen(QPen(QColor(0xe8, 0xe0, 0xc8), 2.0));
    p.drawLine(QPointF(8, 30), QPointF(29, 30)); // page edges
    p.setPen(QPen(cover, 1.0));
    p.drawLine(QPointF(8, 31), QPointF(29, 31));
    return img;
}

} // namespace

QImage defaultBookImage()
{
    static const QImage image = makeDefaultImage();
    return image;
}

QImage composeBookIcon(const std::u16string &iconText)
{
    if (iconText.empty())
        return {};
    const std::optional<std::string> bytes = toCp1251(iconText);
    if (!bytes)
        return {};
    const QImage picture =
        QImage::fromData(QByteArray::fromRawData(bytes->data(), qsizetype(bytes->size())));
    if (picture.isNull())
        return {};
    QImage result(kIconSize, kIconSize, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter p(&result);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QImage scaled =
        picture.scaled(kIconSize, kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    p.drawImage((kIconSize - scaled.width()) / 2, (kIconSize - scaled.height()) / 2, scaled);
    p.drawImage(0, 0, defaultBookImage());
    return result;
}

BookIcon bookIcon(const BookEntry &book)
{
    QImage image = composeBookIcon(book.iconText);
    if (image.isNull())
        return {QStringLiteral("default"), defaultBookImage()};
    return {QString::number(book.filePosition) + QLatin1Char('k'), std::move(image)};
}

} // namespace kelmor::books
