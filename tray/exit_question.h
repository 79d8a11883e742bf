#pragma once

// The exit question: asked by the tray popup's "Выход" while the program starts at logon, it
// lets the user end the program and, if they like, switch the start at logon off.

#include <QDialog>
#include <QIcon>

#include <functional>

class QCheckBox;
class QRadioButton;

namespace kelmor::platform {
class SettingsStore;
}

namespace kelmor::tray {

// "Выход" asks first only while autorun is on and the setting UnloadQ is not 1.
bool exitAsksQuestion(bool autorunOn, int unloadQ);
// UnloadQ as stored (default 0; a value that is not a number counts as 0).
int storedUnloadQ(const platform::SettingsStore &store);

// What the user chose in the question.
struct ExitChoice
{
    // The second option: close, and do not start at logon any more.
    bool disableAutorun = false;
    // "Больше не показывать это окно".
    bool dontAskAgain = false;
};

// The settings side of "Завершить": with disableAutorun, autorun goes off (setAutorun(false);
// a failure is not reported) and ToTray becomes "False"; then UnloadQ is written as "1" or "0".
void applyExitChoice(platform::SettingsStore &store, const ExitChoice &choice,
                     const std::function<void(bool enable)> &setAutorun);

// The window `Dialog`, shown modally.
class ExitQuestionDialog : public QDialog
{
    Q_OBJECT
public:
    struct Context
    {
        platform::SettingsStore *store = nullptr;
        // Writes or deletes the autorun entry; may throw, which is ignored.
        std::function<void(bool enable)> setAutorun;
        // ExitApp with the user's state saved.
        std::function<void()> exitApp;
        // The picture beside the question.
        QIcon picture;
    };

    explicit ExitQuestionDialog(Context context, QWidget *parent = nullptr);

    ExitChoice choice() const;

    // "Завершить": the settings as chosen, then ExitApp, then the dialog closes.
    void confirm();

private:
    Context m_context;
    QRadioButton *m_restartOption = nullptr;
    QRadioButton *m_disableOption = nullptr;
    QCheckBox *m_dontAsk = nullptr;
};

} // namespace kelmor::tray
