#pragma once

// Qt's own texts (standard buttons, text context menus, the page setup dialog) in Russian, like
// every other text of the program, whatever the user's locale.

class QCoreApplication;
class QTranslator;

namespace kelmor::platform {

// Installs Qt's Russian translation from the system's Qt translations folder (Debian package
// qt6-translations-l10n). Returns the translator, owned by app, or nullptr when the
// translation is not installed (Qt's texts stay English then).
QTranslator *installQtTranslation(QCoreApplication &app);

} // namespace kelmor::platform
