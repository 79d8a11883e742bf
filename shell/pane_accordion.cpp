#include "shell/pane_accordion.h"

#include "platform/twips.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace kelmor::shell {

namespace {

// Height of a pane's header strip, in twips.
constexpr int HeaderStripTwips = 330;

// A pane's header strip: its caption, and the state arrow pointing to the pane that is open.
QToolButton *makeHeaderStrip(const QString &name, const QString &caption, QWidget *parent)
{
    auto *strip = new QToolButton(parent);
    strip->setObjectName(name);
    strip->setText(caption);
    strip->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    strip->setAutoRaise(true);
    strip->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    strip->setFixedHeight(platform::twipsToPixels(HeaderStripTwips));
    strip->setCursor(Qt::PointingHandCursor);
    // Colours from the palette, so the strip reads well in light and dark themes.
    strip->setStyleSheet(
        QStringLiteral("QToolButton { text-align: left; font-weight: bold; color: palette(link);"
                       " border-top: 1px solid palette(mid); border-bottom: 1px solid palette(mid);"
                       " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 palette(base),"
                       " stop:1 palette(button)); }"));
    return strip;
}

QVBoxLayout *contentLayout(QWidget *content, const QMargins &margins)
{
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(margins);
    return layout;
}

} // namespace

PaneAccordion::PaneAccordion(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PaneArea"));
    m_literatureHeader =
        makeHeaderStrip(QStringLiteral("Picture1"), QStringLiteral("Литература"), this);
    m_literatureContent = new QWidget(this);
    m_literatureContent->setObjectName(QStringLiteral("Picture3"));
    m_literatureLayout = contentLayout(m_literatureContent, QMargins(2, 2, 4, 3));
    m_dictionaryHeader =
        makeHeaderStrip(QStringLiteral("Picture5"), QStringLiteral("Словарь"), this);
    m_dictionaryContent = new QWidget(this);
    m_dictionaryLayout = contentLayout(m_dictionaryContent, QMargins(0, 2, 0, 0));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_literatureHeader);
    layout->addWidget(m_literatureContent, 1);
    layout->addWidget(m_dictionaryHeader);
    layout->addWidget(m_dictionaryContent, 1);
    connect(m_literatureHeader, &QToolButton::clicked, this, &PaneAccordion::showLiterature);
    connect(m_dictionaryHeader, &QToolButton::clicked, this, &PaneAccordion::showDictionary);

    // The designed state: the dictionary open, the literature collapsed to its header strip.
    showDictionary();
}

void PaneAccordion::setPane(QWidget *&slot, QVBoxLayout *layout, QWidget *pane)
{
    if (slot == pane)
        return;
    delete slot;
    slot = pane;
    if (pane)
        layout->addWidget(pane, 1);
}

void PaneAccordion::setLiteraturePane(QWidget *pane)
{
    setPane(m_literaturePane, m_literatureLayout, pane);
}

void PaneAccordion::setDictionaryPane(QWidget *pane)
{
    setPane(m_dictionaryPane, m_dictionaryLayout, pane);
}

void PaneAccordion::showDictionary()
{
    m_dictionaryActive = true;
    m_literatureContent->setVisible(false);
    m_dictionaryContent->setVisible(true);
    m_literatureHeader->setArrowType(Qt::RightArrow);
    m_dictionaryHeader->setArrowType(Qt::DownArrow);
    Q_EMIT dictionaryShown();
}

void PaneAccordion::showLiterature()
{
    m_dictionaryActive = false;
    m_dictionaryContent->setVisible(false);
    m_literatureContent->setVisible(true);
    m_literatureHeader->setArrowType(Qt::DownArrow);
    m_dictionaryHeader->setArrowType(Qt::RightArrow);
    if (m_literaturePane)
        m_literaturePane->setFocus(Qt::OtherFocusReason);
    Q_EMIT literatureShown();
}

} // namespace kelmor::shell
