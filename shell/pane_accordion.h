#pragma once

// The main window's two panes, one above the other: the literature and the dictionary. The
// active pane fills the height; the other shows only its header strip, and a click on a strip
// opens that pane.

#include <QWidget>

class QToolButton;
class QVBoxLayout;

namespace kelmor::shell {

class PaneAccordion : public QWidget
{
    Q_OBJECT
public:
    explicit PaneAccordion(QWidget *parent = nullptr);

    // The panes' contents; a new one replaces (and deletes) the previous one.
    void setLiteraturePane(QWidget *pane);
    void setDictionaryPane(QWidget *pane);
    QWidget *literaturePane() const { return m_literaturePane; }

    void showDictionary();
    void showLiterature();
    bool isDictionaryActive() const { return m_dictionaryActive; }

Q_SIGNALS:
    // The pane became the active one (also when it already was).
    void dictionaryShown();
    void literatureShown();

private:
    void setPane(QWidget *&slot, QVBoxLayout *layout, QWidget *pane);

    QToolButton *m_literatureHeader = nullptr;
    QToolButton *m_dictionaryHeader = nullptr;
    QWidget *m_literatureContent = nullptr;
    QWidget *m_dictionaryContent = nullptr;
    QVBoxLayout *m_literatureLayout = nullptr;
    QVBoxLayout *m_dictionaryLayout = nullptr;
    QWidget *m_literaturePane = nullptr;
    QWidget *m_dictionaryPane = nullptr;
    bool m_dictionaryActive = true;
};

} // namespace kelmor::shell
