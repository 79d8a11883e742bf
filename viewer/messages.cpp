#include "viewer/messages.h"

#include "platform/version.h"

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
    // Resolved before the hook, so that what tests record is the caption the box shows.
    const QString title = caption.isEmpty() ? platform::ApplicationTitle : caption;
    if (handler()) {
        handler()(parent, icon, title, text);
        return;
    }
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
