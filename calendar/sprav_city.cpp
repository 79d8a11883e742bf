#include "calendar/sprav_city.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace kelmor::calendar {

namespace {
// Column widths of the list in pixels (3528, 2540 and 2540 twips).
constexpr int NameWidth = 235;
constexpr int CoordinateWidth = 169;
} // namespace

SpravCity::SpravCity(const QString &currentName, const QString &cityFile, QWidget *parent)
    : QDialog(parent)
    , m_cityFile(cityFile)
    , m_model(new CityListModel(this))
{
    setObjectName(QStringLiteral("SpravCity"));
    setWindowTitle(QStringLiteral("Справочник городов"));
    setModal(true);

    auto *heading = new QLabel(QStringLiteral("Малый справочник городов"), this);
    heading->setObjectName(QStringLiteral("Label6"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);

    m_list = new QTreeView(this);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setModel(m_model);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setItemsExpandable(false);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Flat column headers: not buttons.
    m_list->header()->setSectionsClickable(false);
    m_list->header()->setSectionsMovable(false);
    m_list->setColumnWidth(CityListModel::NameColumn, NameWidth);
    m_list->setColumnWidth(CityListModel::LatitudeColumn, CoordinateWidth);
    m_list->setColumnWidth(CityListModel::LongitudeColumn, CoordinateWidth);
    m_list->setMinimumSize(NameWidth + 2 * CoordinateWidth + 24, 260);

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("LabelProblem"));
    m_problem->setWordWrap(true);
    m_problem->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_problem->hide();

    auto *searchLabel = new QLabel(QStringLiteral("Быстрый поиск:"), this);
    searchLabel->setObjectName(QStringLiteral("Label1"));
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("Text1"));
    searchLabel->setBuddy(m_search);
    m_search->installEventFilter(this);

    auto *choose = new QPushButton(QStringLiteral("Выбрать"), this);
    choose->setObjectName(QStringLiteral("Command1"));
    choose->setDefault(true);
    auto *close = new QPushButton(QStringLiteral("Закрыть"), this);
    close->setObjectName(QStringLiteral("Command2"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_problem);
    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(m_search, 1);
    layout->addLayout(searchRow);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(choose);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(m_search, &QLineEdit::textChanged, this, &SpravCity::runQuickSearch);
    connect(choose, &QPushButton::clicked, this, &SpravCity::chooseSelected);
    connect(m_list, &QTreeView::doubleClicked, this, &SpravCity::chooseSelected);
    // Esc closes as well, through QDialog::reject.
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    LoadList();
    m_search->setText(currentName);
    runQuickSearch();
    m_search->setFocus();
    m_search->selectAll();
}

std::optional<CityChoice> SpravCity::choose(QWidget *parent, const QString &currentName)
{
    SpravCity directory(currentName, CityFilePath(), parent);
    directory.exec();
    return directory.chosen();
}

void SpravCity::LoadList()
{
    CityFile file = readCityFile(m_cityFile);
    m_model->setRecords(std::move(file.records));
    m_problem->setText(file.problem);
    m_problem->setVisible(!file.problem.isEmpty());
}

int SpravCity::selectedRow() const
{
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void SpravCity::runQuickSearch()
{
    const int row = m_model->quickSearch(m_search->text());
    if (row < 0)
        return;
    const QModelIndex index = m_model->index(row, CityListModel::NameColumn);
    m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
    m_list->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void SpravCity::chooseSelected()
{
    const auto choice = m_model->choice(selectedRow());
    if (!choice)
        return;
    m_chosen = choice;
    Q_EMIT cityChosen(*choice);
    accept();
}

bool SpravCity::eventFilter(QObject *watched, QEvent *event)
{
    // The arrow and page keys in the search field move in the list.
    if (watched == m_search && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
            key == Qt::Key_PageDown) {
            if (!m_list->currentIndex().isValid() && m_model->rowCount() > 0)
                m_list->setCurrentIndex(m_model->index(0, 0));
            else
                QApplication::sendEvent(m_list, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace kelmor::calendar
