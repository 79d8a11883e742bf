#include "viewer/catalogue_books.h"

#include "books/catalogue.h"
#include "books/engine/jet.h"

namespace kelmor::viewer {

std::vector<InterpretationBook> interpretationBooks(const books::Catalogue &catalogue)
{
    std::vector<InterpretationBook> out;
    out.reserve(std::size_t(catalogue.count()));
    for (int n = 0; n < catalogue.count(); ++n) {
        const books::BookEntry &entry = catalogue.book(n);
        InterpretationBook book;
        book.title = entry.tolkName.toStdU16String();
        book.color = colorFromDescription(entry.color.toStdU16String());
        book.enabled = catalogue.isEnabled(n);
        book.records = entry.recordCount;
        // Read errors (a JetError naming the file) go on to the assembly, which shows them in
        // the book's section.
        book.seek = [&catalogue, n](std::u16string_view word) -> std::optional<StoredArticle> {
            books::Table *table = catalogue.table(n);
            if (!table)
                return std::nullopt;
            table->seek(word);
            if (table->noMatch())
                return std::nullopt;
            // A Null article reads as an empty stored value, which decodes to empty text.
            std::optional<std::u16string> text = table->text("Text");
            return StoredArticle{text.value_or(std::u16string()), table->text("Links")};
        };
        out.push_back(std::move(book));
    }
    return out;
}

} // namespace kelmor::viewer
