#pragma once

// Message boxes of the viewer windows, through one hook so that tests can record them.

#include <QString>

#include <functional>

class QWidget;

namespace kelmor::viewer {

enum class MessageIcon { Information, Warning, Critical };

using MessageHandler = std::function<void(QWidget *parent, MessageIcon icon, const QString &caption,
                                          const QString &text)>;

// Shows a modal message box; an empty caption gives the program's title ("Сонник ZEL Kelmor 3"),
// the handler too gets the caption the box would show.
void showMessage(QWidget *parent, MessageIcon icon, const QString &caption, const QString &text);

// Replaces the message box (tests); an empty handler restores it. Returns the previous one.
MessageHandler setMessageHandler(MessageHandler handler);

} // namespace kelmor::viewer
