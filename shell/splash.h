#pragma once

#include <QWidget>

class QLabel;

namespace kelmor::shell {

// The splash screen "Splash": a frameless topmost window, 220/255 opaque, with the program's
// name and VersionString. Deletes itself when closed.
class Splash : public QWidget
{
    Q_OBJECT
public:
    explicit Splash(QWidget *parent = nullptr);

    // Shows it centred on the primary screen, above other windows, painted at once.
    void showTopmost();

    QString versionText() const;
    // What SetWindowAlpha reported: false where the platform shows no opacity.
    bool alphaApplied() const { return m_alphaApplied; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_version = nullptr;
    bool m_alphaApplied = false;
};

} // namespace kelmor::shell
