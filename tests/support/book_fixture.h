#pragma once

// Fixture books: small "*.book" files written at test time with the book writer into a
// temporary data folder laid out as an installed one,
// <root>/share/ZEL Programming/ZEL Kelmor/3.1/Books, so that tests of the catalogue, the panes,
// the main window and the terminal commands all start from the same place.

#include "books/engine/book_writer.h"
#include "books/engine/textcodec.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>
#include <string>

#include <unistd.h>

namespace kelmor::testing {

inline std::u16string u16(const QString &s)
{
    return s.toStdU16String();
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
    return books::fromCp1251(std::string_view(png.constData(), size_t(png.size())));
}

struct FixtureRecord
{
    QString word;
    QString text;
    std::optional<QString> links = {};
};

struct FixtureBook
{
    QString fileName;
    QString toolName;
    // Headwords whose article is "Толкование: <word>", written before the records.
    QStringList words = {};
    std::optional<std::u16string> icon = {};
    std::optional<QString> color = {};
    QList<FixtureRecord> records = {};
    // The heading above the book's articles; the tool name in capitals when not given.
    std::optional<QString> tolkName = {};
};

class BookFolder
{
public:
    BookFolder()
    {
        Q_ASSERT(m_dir.isValid());
        QDir().mkpath(path());
    }
    // For a death test's child, which ends with exit() and never runs the destructor: removes
    // the folder when this process made it (a child re-run from the start, as the threadsafe
    // style does), never the parent's (a forked child shares it).
    void removeIfMadeHere()
    {
        if (m_owner == ::getpid())
            m_dir.remove();
    }
    // The temporary folder holding everything.
    QString root() const { return m_dir.path(); }
    QString rootPath(const QString &name) const { return m_dir.filePath(name); }
    // What XDG_DATA_DIRS names so that the program finds the books.
    QString dataDir() const { return m_dir.filePath(QStringLiteral("share")); }
    // The books folder.
    QString path() const
    {
        return dataDir() + QStringLiteral("/ZEL Programming/ZEL Kelmor/3.1/Books");
    }
    QString filePath(const QString &name) const { return path() + QLatin1Char('/') + name; }
    // The literature folder beside the books (made on first use).
    QString textsPath() const
    {
        const QString texts = dataDir() + QStringLiteral("/ZEL Programming/ZEL Kelmor/3.1/Texts");
        QDir().mkpath(texts);
        return texts;
    }

    void write(const FixtureBook &book) const
    {
        books::BookSource source;
        source.config.toolName = u16(book.toolName);
        source.config.tolkName = u16(book.tolkName.value_or(book.toolName.toUpper()));
        if (book.color)
            source.config.color = u16(*book.color);
        source.config.icon = book.icon;
        for (const QString &w : book.words)
            source.records.push_back({u16(w), u16(QStringLiteral("Толкование: ") + w), {}});
        for (const FixtureRecord &r : book.records)
            source.records.push_back(
                {u16(r.word), u16(r.text),
                 r.links ? std::optional(u16(*r.links)) : std::optional<std::u16string>()});
        books::writeBookFile(source, filePath(book.fileName).toStdString());
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
    pid_t m_owner = ::getpid();
};

} // namespace kelmor::testing
