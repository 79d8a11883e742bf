#include "tray/quick_search.h"

#include "books/engine/casefold.h"
#include "tray/obscene_words.h"

#include <Qt>

namespace kelmor::tray {

namespace {

std::u16string folded(QStringView text)
{
    return books::foldCase(
        std::u16string_view(reinterpret_cast<const char16_t *>(text.utf16()), text.size()));
}

} // namespace

bool completesOnKeyRelease(int key)
{
    return key != Qt::Key_Escape && key != Qt::Key_Delete && key != Qt::Key_Backspace;
}

bool sameWordIgnoringCase(const QString &a, const QString &b)
{
    return a.size() == b.size() && folded(a) == folded(b);
}

std::optional<FieldState> completeInline(const FieldState &field, const QString &selectedWord)
{
    const qsizetype n = field.text.size();
    if (n == 0 || field.selectionLength != 0 || field.cursor != n)
        return std::nullopt;
    if (selectedWord.size() <= n || folded(QStringView(selectedWord).left(n)) != folded(field.text))
        return std::nullopt;
    FieldState completed;
    completed.text = field.text + selectedWord.mid(n);
    completed.selectionStart = int(n);
    completed.selectionLength = int(completed.text.size() - n);
    completed.cursor = int(completed.text.size());
    return completed;
}

EnterAction enterAction(const QString &fieldText, const std::optional<QString> &selectedWord)
{
    if (fieldText.trimmed().isEmpty())
        return EnterAction::Nothing;
    if (selectedWord && sameWordIgnoringCase(*selectedWord, fieldText))
        return EnterAction::OpenViewer;
    return IsMat(fieldText) ? EnterAction::ObsceneMessage : EnterAction::NotFoundMessage;
}

} // namespace kelmor::tray
