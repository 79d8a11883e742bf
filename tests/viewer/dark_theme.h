#pragma once

// A dark desktop theme for the viewer tests: light text on dark backgrounds, as long as the guard
// lives; the application's palette before it comes back afterwards.

#include <QApplication>
#include <QPalette>

namespace kelmor::viewer::testing {

class DarkTheme
{
public:
    DarkTheme()
        : m_previous(QApplication::palette())
    {
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(0x2a, 0x2a, 0x2a));
        dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        dark.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x26));
        dark.setColor(QPalette::Text, QColor(0xf0, 0xf0, 0xf0));
        dark.setColor(QPalette::Button, QColor(0x33, 0x33, 0x33));
        dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
        dark.setColor(QPalette::HighlightedText, Qt::black);
        QApplication::setPalette(dark);
    }
    ~DarkTheme() { QApplication::setPalette(m_previous); }
    DarkTheme(const DarkTheme &) = delete;
    DarkTheme &operator=(const DarkTheme &) = delete;

private:
    QPalette m_previous;
};

} // namespace kelmor::viewer::testing
