#pragma once

#include "shell/geometry.h"

#include <QList>
#include <QString>

#include <optional>

namespace kelmor::platform {
class SettingsStore;
}

namespace kelmor::shell {

// What ExitApp saves when it saves the user's state, collected from the windows first.
struct ExitState
{
    // Set only when the main window is in the normal state (neither minimised nor maximised).
    std::optional<WindowGeometry> normalGeometry;

    // One value per book button, first to last: the book file's full path and whether the
    // button is pressed (book enabled).
    struct Book
    {
        QString key;
        bool enabled = true;
    };
    QList<Book> books;

    // Literature tree nodes from the second to the last: key and tag.
    struct LitNode
    {
        QString key;
        QString tag;
    };
    QList<LitNode> litNodes;
    // Expanded state of the literature nodes "all" and "fav", once the tree exists.
    std::optional<bool> litAExpanded;
    std::optional<bool> litFExpanded;

    // The first list-mode button pressed: the ordinary list.
    bool ordinaryList = true;
};

// Writes the state in ExitApp's order: Top, Left, Height, Width (decimal twips, normal state
// only); one BooksSection value per book ("1"/"0"); one BooksSection value per literature node;
// LitAExpanded and LitFExpanded ("True"/"False"); ListMode ("1" ordinary list, else "0").
void saveExitState(platform::SettingsStore &store, const ExitState &state);

} // namespace kelmor::shell
