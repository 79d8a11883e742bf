#include "platform/about_box.h"

#include "platform/version.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace kelmor::platform {

FormAbout::FormAbout(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("FormAbout"));
    setWindowTitle(QStringLiteral("О программе"));

    auto *title = new QLabel(ApplicationTitle, this);
    QFont font = title->font();
    font.setPointSizeF(font.pointSizeF() * 1.5);
    font.setBold(true);
    title->setFont(font);

    m_version = new QLabel(QStringLiteral("Версия: ") + VersionString(), this);
    m_version->setObjectName(QStringLiteral("LabelVersion"));
    m_version->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *makers = new QLabel(QStringLiteral("Электронный сонник с лунным календарём "
                                             "сбываемости снов.\n© ZEL Programming"),
                              this);
    makers->setWordWrap(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(m_version);
    layout->addWidget(makers);
    layout->addStretch();
    layout->addWidget(buttons);
}

QString FormAbout::versionText() const
{
    return m_version->text();
}

} // namespace kelmor::platform
