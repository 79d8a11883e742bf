// The interpretation from the books of a real catalogue, when a book file changes on disk after
// the catalogue opened it.
#include "books/catalogue.h"
#include "books/engine/book_writer.h"
#include "support/book_fixture.h"
#include "viewer/catalogue_books.h"
#include "viewer/interpretation.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace kelmor;
using namespace kelmor::testing;

namespace {

// An article long enough to be stored on a long-value page of its own, which opening the book
// does not read: asking for the word reads the file again.
std::u16string longArticle(char16_t seed)
{
    std::u16string text = u"Начало толкования. ";
    for (int k = 0; k < 3000; ++k)
        text.push_back(static_cast<char16_t>(u'а' + (k * 11 + seed) % 32));
    return text;
}

void writeBook(const QString &path, const char16_t *title, char16_t seed)
{
    books::BookSource source;
    source.config.toolName = title;
    source.config.tolkName = title;
    source.records = {{u"Вода", longArticle(seed), std::nullopt},
                      {u"Дом", u"Короткая статья.", std::nullopt}};
    books::writeBookFile(source, path.toStdString());
}

} // namespace

// The changed book's section says it cannot be read and names the file; the other books still
// show. (Reading a book truncated under a memory mapping used to end the program with SIGBUS,
// so each case runs in a child process.)
TEST(CatalogueBooksDeathTest, BookChangedOnDiskShowsAnErrorSectionAndTheOthersStillShow)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    using Change = std::function<void(const QString &path)>;
    const struct
    {
        const char *what;
        Change change;
    } cases[] = {
        {"truncated", [](const QString &path) { QFile::resize(path, 4096); }},
        {"another book copied over it, as cp does (same file, new content)",
         [](const QString &path) {
             BookFolder other;
             writeBook(other.filePath("x.book"), u"Другой", 7);
             QFile source(other.filePath("x.book"));
             QFile target(path);
             if (!source.open(QIODevice::ReadOnly) ||
                 !target.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                 target.write(source.readAll()) <= 0)
                 std::exit(5);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        BookFolder folder;
        writeBook(folder.filePath("a.book"), u"Первый", 1);
        writeBook(folder.filePath("b.book"), u"Второй", 2);
        writeBook(folder.filePath("c.book"), u"Третий", 3);
        const auto check = [&] {
            books::Catalogue catalogue;
            if (catalogue.load(folder.path()).status != books::Catalogue::Status::Ok)
                std::exit(2);
            const std::vector<viewer::InterpretationBook> list =
                viewer::interpretationBooks(catalogue);
            c.change(folder.filePath("b.book"));
            const std::optional<std::u16string> doc = viewer::assembleInterpretation(u"вода", list);
            if (!doc)
                std::exit(3);
            const QString text = QString::fromStdU16String(*doc);
            const QString broken =
                QStringLiteral("& Второй:§\r\n") +
                QString::fromStdU16String(std::u16string(viewer::kReadFailedText)) +
                QStringLiteral("«") + folder.filePath("b.book") +
                QStringLiteral("»: сонник изменён на диске");
            const bool ok = text.contains(QStringLiteral("& Первый:§\r\nНачало толкования.")) &&
                            text.contains(broken) &&
                            text.contains(QStringLiteral("& Третий:§\r\nНачало толкования."));
            if (!ok)
                std::fprintf(stderr, "%s\n", text.toUtf8().constData());
            folder.removeIfMadeHere();
            std::exit(ok ? 0 : 4);
        };
        EXPECT_EXIT(check(), ::testing::ExitedWithCode(0), "") << c.what;
    }
}
