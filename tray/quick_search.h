#pragma once

// The rules of the tray popup's search field, apart from its widget: the inline completion
// after a key is released, and what Enter does.

#include <QString>

#include <optional>

namespace kelmor::tray {

// The popup's messages (warning icon, OK, the program's title).
inline const QString ObsceneWordMessage =
    QStringLiteral("Извините, но такого слова нет в ZEL Kelmor.\n"
                   "Если вам действительно это приснилось, попытайтесь подобрать более "
                   "благозвучный синоним.");
inline const QString WordNotFoundMessage =
    QStringLiteral("Извините, но толкование по данному слову не найдено.\n"
                   "Попробуйте найти синонимы или однокоренные слова для искомого слова.\n"
                   "\n"
                   "Вы также можете попытаться включить отключенные словари или установить "
                   "дополнительные словари с сайта программы.");

// The search field as the completion sees and changes it.
struct FieldState
{
    QString text;
    int cursor = 0; // the caret, 0..text size
    // The selected characters; none when selectionLength is 0.
    int selectionStart = 0;
    int selectionLength = 0;

    bool operator==(const FieldState &) const = default;
};

// Releasing Esc, Delete or Backspace never completes, so that the user can shorten the text.
bool completesOnKeyRelease(int key);

// Two words equal when letter case is ignored the way the word list ignores it ("ё" and "е"
// stay different).
bool sameWordIgnoringCase(const QString &a, const QString &b);

// The inline completion: when the caret is at the end of the field's text, nothing is
// selected, and the word the main list selected for that text begins with it (letter case
// ignored), the text becomes the typed text followed by the rest of the word, with that rest
// selected and the caret after it. The typed part keeps the user's letter case. std::nullopt
// when nothing changes: an empty field, a caret inside the text or a selection (completing there
// would write the rest of the word into the middle of the text), a word that does not begin
// with the text, or nothing left to add.
std::optional<FieldState> completeInline(const FieldState &field, const QString &selectedWord);

// What Enter in the field does.
enum class EnterAction {
    Nothing,         // the field is empty or only spaces
    OpenViewer,      // the list's selected word is the field's text: show it, close the popup
    ObsceneMessage,  // not in the list, and an obscene word: its message, the popup stays
    NotFoundMessage, // not in the list: the not-found message, the popup stays
};
EnterAction enterAction(const QString &fieldText, const std::optional<QString> &selectedWord);

} // namespace kelmor::tray
