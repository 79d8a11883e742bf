#pragma once

#include <QDialog>

class QLabel;

namespace kelmor::platform {

// The about box: the program's name, "Версия:" with VersionString, and its makers.
// The main window opens it modally, the tray popup modeless.
class FormAbout : public QDialog
{
    Q_OBJECT
public:
    explicit FormAbout(QWidget *parent = nullptr);

    QString versionText() const;

private:
    QLabel *m_version = nullptr;
};

} // namespace kelmor::platform
