#pragma once

#include <QImage>
#include <QString>

#include <string>

namespace kelmor::books {

struct BookEntry;

// A book's picture on its toolbar button: its own icon with the default image drawn over it,
// or the default image alone when the book has none that decodes.
struct BookIcon
{
    QString imageKey; // file position j in the folder listing followed by "k", or "default"
    QImage image;
};

// The default "generic book" image (also drawn over every book's own icon).
QImage defaultBookImage();

// The icon for stored Config.Icon text (each character one Windows-1251 byte of an image file):
// the decoded picture with the default image over it; a null image when the bytes do not decode.
QImage composeBookIcon(const std::u16string &iconText);

// The icon of a catalogued book.
BookIcon bookIcon(const BookEntry &book);

} // namespace kelmor::books
