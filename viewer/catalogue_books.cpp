#include "viewer/catalogue_books.h"

#include "books/catalogue.h"
#include "books/word_list_forms.h"
#include "books/wordlist.h"

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
            std::optional<books::StoredArticle> found = catalogue.find(n, word);
            if (!found)
                return std::nullopt;
            // A Null article reads as an empty stored value, which decodes to empty text.
            return StoredArticle{found->text.value_or(std::u16string()), std::move(found->links)};
        };
        out.push_back(std::move(book));
    }
    return out;
}

std::unique_ptr<books::FormResolver> formResolver(const books::Catalogue &catalogue,
                                                  std::shared_ptr<const books::WordForms> forms)
{
    books::WordList list(catalogue);
    list.rebuild();
    return std::make_unique<books::FormResolver>(books::headwordsOf(list), std::move(forms));
}

} // namespace kelmor::viewer
