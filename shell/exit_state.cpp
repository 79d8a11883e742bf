#include "shell/exit_state.h"

#include "platform/settings.h"

namespace kelmor::shell {

using platform::BooksSection;
using platform::SettingsSection;

void saveExitState(platform::SettingsStore &store, const ExitState &state)
{
    if (state.normalGeometry) {
        const WindowGeometry &g = *state.normalGeometry;
        store.writeDouble(SettingsSection, QStringLiteral("Top"), g.top);
        store.writeDouble(SettingsSection, QStringLiteral("Left"), g.left);
        store.writeDouble(SettingsSection, QStringLiteral("Height"), g.height);
        store.writeDouble(SettingsSection, QStringLiteral("Width"), g.width);
    }
    for (const ExitState::Book &book : state.books)
        store.writeInt(BooksSection, book.key, book.enabled ? 1 : 0);
    for (const ExitState::LitNode &node : state.litNodes)
        store.write(BooksSection, node.key, node.tag);
    if (state.litAExpanded)
        store.writeBool(SettingsSection, QStringLiteral("LitAExpanded"), *state.litAExpanded);
    if (state.litFExpanded)
        store.writeBool(SettingsSection, QStringLiteral("LitFExpanded"), *state.litFExpanded);
    store.writeInt(SettingsSection, QStringLiteral("ListMode"), state.ordinaryList ? 1 : 0);
}

} // namespace kelmor::shell
