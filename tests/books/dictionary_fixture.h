#pragma once

// Fixture books for the catalogue, word list and dictionary pane tests: small "*.book" files
// written at test time into a temporary folder with the book writer.

#include "books/engine/book_writer.h"
#include "books/engine/textcodec.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <initializer_list>
#include <string>

namespace kelmor::books::testing {

inline std::u16string u16(const QString &s)
{
    return std::u16string(reinterpret_cast<const char16_t *>(s.utf16()), size_t(s.size()));
}

// An icon as stored in Config.Icon: a PNG of one colour, each byte one Windows-1251 character.
inline std::u16string iconText(QColor color, int size = 16)
{
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(color);
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return fromCp1251(std::string_view(png.constData(), size_t(png.size())));
}

struct FixtureBook
{
    QString fileName;
    QString toolName;
    QStringList words;
    std::optional<std::u16string> icon;
    std::optional<QString> color;
};

class BookFolder
{
public:
    BookFolder() { Q_ASSERT(m_dir.isValid()); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.path() + QLatin1Char('/') + name; }

    void write(const FixtureBook &book) const
    {
        BookSource source;
        source.config.toolName = u16(book.toolName);
        source.config.tolkName = u16(book.toolName.toUpper());
        if (book.color)
            source.config.color = u16(*book.color);
        source.config.icon = book.icon;
        for (const QString &w : book.words)
            source.records.push_back({u16(w), u16(QStringLiteral("Толкование: ") + w), {}});
        writeBookFile(source, filePath(book.fileName).toStdString());
    }
    void writeRaw(const QString &name, const QByteArray &bytes) const
    {
        QFile f(filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }
    QByteArray read(const QString &name) const
    {
        QFile f(filePath(name));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

private:
    QTemporaryDir m_dir;
};

} // namespace kelmor::books::testing
