#include "tray/exit_question.h"

#include "platform/settings.h"
#include "platform/version.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include <exception>

namespace kelmor::tray {

using platform::SettingsSection;

bool exitAsksQuestion(bool autorunOn, int unloadQ)
{
    return autorunOn && unloadQ != 1;
}

int storedUnloadQ(const platform::SettingsStore &store)
{
    return store.readInt(SettingsSection, QStringLiteral("UnloadQ"), 0);
}

void applyExitChoice(platform::SettingsStore &store, const ExitChoice &choice,
                     const std::function<void(bool enable)> &setAutorun)
{
    if (choice.disableAutorun) {
        if (setAutorun) {
            try {
                setAutorun(false);
            } catch (const std::exception &) {
                // The entry stays; the user is not told, as everywhere autorun is written.
            }
        }
        store.write(SettingsSection, QStringLiteral("ToTray"), QStringLiteral("False"));
    }
    store.write(SettingsSection, QStringLiteral("UnloadQ"),
                choice.dontAskAgain ? QStringLiteral("1") : QStringLiteral("0"));
}

ExitQuestionDialog::ExitQuestionDialog(Context context, QWidget *parent)
    : QDialog(parent)
    , m_context(std::move(context))
{
    setObjectName(QStringLiteral("Dialog"));
    setWindowTitle(QStringLiteral("Завершение работы ZEL Kelmor"));
    setModal(true);
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Image1"));
    const QIcon icon = m_context.picture.isNull()
                           ? style()->standardIcon(QStyle::SP_MessageBoxQuestion)
                           : m_context.picture;
    picture->setPixmap(icon.pixmap(QSize(48, 48), devicePixelRatioF()));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto *question =
        new QLabel(QStringLiteral("Вы действительно хотите завершить работу ZEL Kelmor 3 ?"), this);
    question->setObjectName(QStringLiteral("Label1"));
    question->setWordWrap(true);
    QFont bold = question->font();
    bold.setBold(true);
    question->setFont(bold);

    m_restartOption = new QRadioButton(
        QStringLiteral("Завершить, но автоматически запустить при следующем старте Windows"), this);
    m_restartOption->setObjectName(QStringLiteral("Option1(0)"));
    m_restartOption->setChecked(true);
    m_disableOption = new QRadioButton(
        QStringLiteral("Закрыть, и отключить автозапуск при старте Windows"), this);
    m_disableOption->setObjectName(QStringLiteral("Option1(1)"));
    m_dontAsk = new QCheckBox(QStringLiteral("Больше не показывать это окно"), this);
    m_dontAsk->setObjectName(QStringLiteral("Check1"));

    auto *confirmButton = new QPushButton(QStringLiteral("Завершить"), this);
    confirmButton->setObjectName(QStringLiteral("Command1"));
    confirmButton->setDefault(true);
    auto *cancelButton = new QPushButton(QStringLiteral("Отмена"), this);
    cancelButton->setObjectName(QStringLiteral("Command2"));

    auto *text = new QVBoxLayout;
    text->addWidget(question);
    text->addSpacing(6);
    text->addWidget(m_restartOption);
    text->addWidget(m_disableOption);
    text->addSpacing(6);
    text->addWidget(m_dontAsk);
    auto *body = new QHBoxLayout;
    body->addWidget(picture);
    body->addLayout(text, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(confirmButton);
    buttons->addWidget(cancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(confirmButton, &QPushButton::clicked, this, &ExitQuestionDialog::confirm);
    // "Отмена" and Esc close the question and change nothing.
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

ExitChoice ExitQuestionDialog::choice() const
{
    return ExitChoice{m_disableOption->isChecked(), m_dontAsk->isChecked()};
}

void ExitQuestionDialog::confirm()
{
    if (m_context.store)
        applyExitChoice(*m_context.store, choice(), m_context.setAutorun);
    if (m_context.exitApp)
        m_context.exitApp();
    accept();
}

} // namespace kelmor::tray
