#include "viewer/catalogue_books.h"

#include "books/catalogue.h"

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
        book.seek = [&catalogue, n](std::u16string_view word) -> std::optional<StoredArticle> {
            const std::optional<books::StoredArticle> found =
                catalogue.find(n, QString::fromUtf16(word.data(), qsizetype(word.size())));
            if (!found)
                return std::nullopt;
            // A Null article reads as an empty stored value, which decodes to empty text.
            return StoredArticle{found->text.value_or(std::u16string()), found->links};
        };
        out.push_back(std::move(book));
    }
    return out;
}

} // namespace kelmor::viewer
