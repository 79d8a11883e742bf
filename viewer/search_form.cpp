#include "viewer/search_form.h"

#include "viewer/messages.h"
#include "viewer/tolk.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelmor::viewer {

int findWrapped(const QString &text, const QString &needle, int from)
{
    if (needle.isEmpty())
        return -1;
    const int at =
        int(text.indexOf(needle, std::clamp(from, 0, int(text.size())), Qt::CaseInsensitive));
    if (at >= 0)
        return at;
    return int(text.indexOf(needle, 0, Qt::CaseInsensitive));
}

SearchForm::SearchForm(InterpretationView *view, QWidget *owner)
    : QDialog(owner)
    , m_view(view)
{
    setObjectName(QStringLiteral("SearchForm"));
    setWindowTitle(QStringLiteral("Поиск"));
    setModal(false);
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    auto *heading = new QLabel(QStringLiteral("Поиск на странице"), this);
    heading->setObjectName(QStringLiteral("Label3"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    auto *label = new QLabel(QStringLiteral("Что искать:"), this);
    label->setObjectName(QStringLiteral("Label1"));
    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("Text1"));
    label->setBuddy(m_text);
    auto *find = new QPushButton(QStringLiteral("Искать"), this);
    find->setObjectName(QStringLiteral("Command1"));
    find->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Отмена"), this);
    cancel->setObjectName(QStringLiteral("Command2"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    auto *row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_text, 1);
    layout->addLayout(row);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(find);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(find, &QPushButton::clicked, this, [this] { FND(); });
    // Esc closes through QDialog::reject.
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);
}

void SearchForm::setSearchText(const QString &text)
{
    m_text->setText(text);
    m_text->selectAll();
    m_text->setFocus();
}

bool SearchForm::FND()
{
    const QString needle = m_text->text();
    if (QWidget *viewer = m_view->window()) {
        viewer->activateWindow();
        m_view->setFocus();
    }
    if (needle.isEmpty())
        return false;
    const int from = m_view->selectionStart() + m_view->selectionLength();
    const int at = findWrapped(m_view->plainText(), needle, from);
    if (at < 0) {
        m_view->selectRange(0, 0);
        showMessage(this, MessageIcon::Warning, QStringLiteral("Результат поиска"),
                    QStringLiteral("Строка не найдена."));
        return false;
    }
    m_view->selectRange(at, int(needle.size()));
    m_view->ensureCursorVisible();
    return true;
}

} // namespace kelmor::viewer
