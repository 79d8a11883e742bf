#pragma once

// Puts a literature article, as the rich-text reader gives it, into a QTextDocument: paragraphs
// with their alignment, indents, spacing and tab stops, runs with their fonts and colours,
// pictures and tables.

#include "viewer/rtf_reader.h"

#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>

class QTextDocument;

namespace kelmor::viewer {

// The base font of an article: text that names no font or size.
inline const QString kArticleFontFamily = QStringLiteral("Courier New");
constexpr int kArticlePointSize = 10;

// Pictures larger than this are not decoded (they are left out of the document).
constexpr int kMaxPictureSide = 8192;
constexpr qint64 kMaxPicturePixels = 32LL * 1024 * 1024;
// Article files larger than this are refused.
constexpr qint64 kMaxArticleBytes = 64LL * 1024 * 1024;

// The picture's image: PNG and JPEG as they are, a device-independent bitmap given the file
// header it lacks. A null image when the data does not decode or the picture is too large.
QImage decodePicture(const RtfPicture &picture);

// The size a picture is shown at, in pixels: its goal size in twips (15 twips a pixel) when the
// file gives one, otherwise the image's own size, each scaled by the file's percentage; never
// wider or taller than kMaxPictureSide.
QSize pictureDisplaySize(const RtfPicture &picture, const QSize &imageSize);

// Replaces the document's content with the article. The base font becomes the document's
// default font: text that names no font or size is shown in it.
void setArticleDocument(QTextDocument *document, const RtfDocument &article, const QFont &base);

// The document's text with one character per document position, so hit-testing, find and copy
// can work on it: paragraph, line and table boundaries become "\n", a picture a space.
QString articleViewText(const QTextDocument *document);

// Reads an article file: RTF, or Windows-1251 plain text when it is not RTF. Throws
// std::runtime_error with a Russian message naming the file (UTF-8) when the file cannot be read
// or is larger than kMaxArticleBytes.
RtfDocument loadArticle(const QString &path);

} // namespace kelmor::viewer
