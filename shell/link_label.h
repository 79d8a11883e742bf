#pragma once

#include <QLabel>

namespace kelmor::shell {

// A text link: navy normally, blue while the mouse is over it, a hand pointer, clicked() on a
// left-button release inside it.
class LinkLabel : public QLabel
{
    Q_OBJECT
public:
    explicit LinkLabel(const QString &text, QWidget *parent = nullptr);

    static QColor normalColor() { return {0, 0, 128}; }
    static QColor hoverColor() { return {0, 0, 255}; }

    void setTextColor(const QColor &color);
    QColor textColor() const;

Q_SIGNALS:
    void clicked();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
};

} // namespace kelmor::shell
