#include "viewer/messages.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace kelmor::viewer {

namespace {
MessageHandler &handler()
{
    static MessageHandler h;
    return h;
}
} // namespace

void showMessage(QWidget *parent, MessageIcon icon, const QString &caption, const QString &text)
{
    if (handler()) {
        handler()(parent, icon, caption, text);
        return;
    }
    const QString title = caption.isEmpty() ? QGuiApplication::applicationDisplayName() : caption;
    switch (icon) {
    case MessageIcon::Information:
        QMessageBox::information(parent, title, text);
        break;
    case MessageIcon::Warning:
        QMessageBox::warning(parent, title, text);
        break;
    case MessageIcon::Critical:
        QMessageBox::critical(parent, title, text);
        break;
    }
}

MessageHandler setMessageHandler(MessageHandler h)
{
    return std::exchange(handler(), std::move(h));
}

} // namespace kelmor::viewer
