#include "viewer/literature_pane.h"

#include "platform/settings.h"
#include "viewer/messages.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include <cmath>

namespace kelmor::viewer {

namespace {

const QString kTreeTip = QStringLiteral("Открытие по двойному щелчку");
const QString kAddText = QStringLiteral("Добавить в избранное");
const QString kRemoveText = QStringLiteral("Удалить из избранного");

// Internal ids: 0 a root, 1 an article (under "all"), 2 a favourite copy (under "fav").
constexpr quintptr kRootId = 0;
constexpr quintptr kArticleId = 1;
constexpr quintptr kFavouriteId = 2;

// A five-pointed star, filled or outlined, with an optional sign ("+" or "−") in its corner.
QIcon starIcon(const QColor &fill, QChar sign = {})
{
    QIcon icon;
    for (const int side : {16, 24, 32}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath star;
        const double c = side / 2.0, outer = side * 0.47, inner = side * 0.2;
        for (int i = 0; i < 10; ++i) {
            const double r = i % 2 ? inner : outer;
            const double a = -M_PI / 2 + i * M_PI / 5;
            const QPointF point(c + r * std::cos(a), c + 0.04 * side + r * std::sin(a));
            if (i == 0)
                star.moveTo(point);
            else
                star.lineTo(point);
        }
        star.closeSubpath();
        p.setPen(QPen(fill.darker(160), side / 16.0));
        p.setBrush(fill);
        p.drawPath(star);
        if (!sign.isNull()) {
            const double s = side * 0.42, x = side - s - 0.5, y = side - s - 0.5;
            p.setPen(Qt::NoPen);
            p.setBrush(sign == u'+' ? QColor(0x2e, 0x8b, 0x2e) : QColor(0xc0, 0x30, 0x30));
            p.drawEllipse(QRectF(x, y, s, s));
            p.setPen(QPen(Qt::white, side / 12.0));
            const QPointF mid(x + s / 2, y + s / 2);
            p.drawLine(mid - QPointF(s * 0.3, 0), mid + QPointF(s * 0.3, 0));
            if (sign == u'+')
                p.drawLine(mid - QPointF(0, s * 0.3), mid + QPointF(0, s * 0.3));
        }
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

// ---------------------------------------------------------------------------------------------

LiteratureModel::LiteratureModel(QObject *parent)
    : QAbstractItemModel(parent)
{
    QStyle *style = QApplication::style();
    m_articleIcon = style->standardIcon(QStyle::SP_FileIcon);
    m_allIcon = style->standardIcon(QStyle::SP_DirIcon);
    m_favIcon = starIcon(QColor(0xf2, 0xc2, 0x1b));
}

void LiteratureModel::ShowLit(const QString &textsPath, const Literature::TagReader &tags,
                              bool allExpanded, bool favExpanded)
{
    beginResetModel();
    m_literature.ShowLit(textsPath, tags, allExpanded, favExpanded);
    endResetModel();
}

Literature::AddResult LiteratureModel::addFavourite(const QString &articleKey)
{
    const Literature::Node *article = m_literature.find(articleKey);
    if (!article || article->kind != Literature::Kind::Article)
        return Literature::AddResult::NotAnArticle;
    if (m_literature.find(articleKey + u'*'))
        return Literature::AddResult::AlreadyFavourite;
    const int row = int(m_literature.favourites().size());
    beginInsertRows(index(1, 0), row, row);
    const Literature::AddResult result = m_literature.addFavourite(articleKey);
    endInsertRows();
    const QModelIndex changed = indexOf(articleKey);
    Q_EMIT dataChanged(changed, changed, {TagRole});
    return result;
}

bool LiteratureModel::removeFavourite(const QString &copyKey)
{
    const QModelIndex copy = indexOf(copyKey);
    if (!copy.isValid() || copy.internalId() != kFavouriteId)
        return false;
    beginRemoveRows(copy.parent(), copy.row(), copy.row());
    const bool removed = m_literature.removeFavourite(copyKey);
    endRemoveRows();
    const QModelIndex changed = indexOf(copyKey.chopped(1));
    if (changed.isValid())
        Q_EMIT dataChanged(changed, changed, {TagRole});
    return removed;
}

QModelIndex LiteratureModel::indexOf(const QString &key) const
{
    if (key == Literature::AllKey)
        return index(0, 0);
    if (key == Literature::FavouritesKey)
        return index(1, 0);
    const auto &articles = m_literature.articles();
    for (std::size_t i = 0; i < articles.size(); ++i) {
        if (articles[i].key == key)
            return createIndex(int(i), 0, kArticleId);
    }
    const auto &favourites = m_literature.favourites();
    for (std::size_t i = 0; i < favourites.size(); ++i) {
        if (favourites[i].key == key)
            return createIndex(int(i), 0, kFavouriteId);
    }
    return {};
}

QString LiteratureModel::keyOf(const QModelIndex &index) const
{
    const Literature::Node *n = node(index);
    return n ? n->key : QString();
}

const Literature::Node *LiteratureModel::node(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    const auto row = std::size_t(index.row());
    switch (index.internalId()) {
    case kRootId:
        return row == 0 ? &m_literature.allRoot() : &m_literature.favouritesRoot();
    case kArticleId:
        return row < m_literature.articles().size() ? &m_literature.articles()[row] : nullptr;
    case kFavouriteId:
        return row < m_literature.favourites().size() ? &m_literature.favourites()[row] : nullptr;
    default:
        return nullptr;
    }
}

QModelIndex LiteratureModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0 || row >= rowCount(parent))
        return {};
    if (!parent.isValid())
        return createIndex(row, 0, kRootId);
    return createIndex(row, 0, parent.row() == 0 ? kArticleId : kFavouriteId);
}

QModelIndex LiteratureModel::parent(const QModelIndex &child) const
{
    if (!child.isValid() || child.internalId() == kRootId)
        return {};
    return createIndex(child.internalId() == kArticleId ? 0 : 1, 0, kRootId);
}

int LiteratureModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return 2;
    if (parent.internalId() != kRootId)
        return 0;
    return int(parent.row() == 0 ? m_literature.articles().size()
                                 : m_literature.favourites().size());
}

int LiteratureModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant LiteratureModel::data(const QModelIndex &index, int role) const
{
    const Literature::Node *n = node(index);
    if (!n)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return n->text;
    case Qt::ToolTipRole:
        return kTreeTip;
    case Qt::DecorationRole:
        switch (n->kind) {
        case Literature::Kind::AllRoot:
            return m_allIcon;
        case Literature::Kind::FavouritesRoot:
            return m_favIcon;
        default:
            return m_articleIcon;
        }
    case KeyRole:
        return n->key;
    case TagRole:
        return n->tag;
    case KindRole:
        return int(n->kind);
    default:
        return {};
    }
}

// ---------------------------------------------------------------------------------------------

LiteraturePane::LiteraturePane(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("LiteraturePane"));
    m_model = new LiteratureModel(this);

    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(QStringLiteral("Toolbar3"));
    m_toolbar->setIconSize(QSize(16, 16));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_add = m_toolbar->addAction(starIcon(QColor(0xf2, 0xc2, 0x1b), u'+'), kAddText);
    m_add->setToolTip(kAddText);
    m_toolbar->addSeparator();
    m_remove = m_toolbar->addAction(starIcon(QColor(0xc8, 0xc8, 0xc8), u'−'), kRemoveText);
    m_remove->setToolTip(kRemoveText);
    m_add->setEnabled(false);
    m_remove->setEnabled(false);
    connect(m_add, &QAction::triggered, this, &LiteraturePane::addToFavourites);
    connect(m_remove, &QAction::triggered, this, &LiteraturePane::removeFromFavourites);

    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("Text3"));
    m_frame->setFrameShape(QFrame::StyledPanel);
    m_frame->setFrameShadow(QFrame::Sunken);
    m_tree = new QTreeView(m_frame);
    m_tree->setObjectName(QStringLiteral("TreeView1"));
    m_tree->setToolTip(kTreeTip);
    m_tree->setModel(m_model);
    m_tree->setHeaderHidden(true);
    m_tree->setUniformRowHeights(true);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setFrameShape(QFrame::NoFrame);
    m_tree->setExpandsOnDoubleClick(true);
    auto *frameLayout = new QVBoxLayout(m_frame);
    frameLayout->setContentsMargins(2, 2, 2, 2);
    frameLayout->addWidget(m_tree);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_toolbar);
    layout->addWidget(m_frame, 1);
    // Keyboard users reach the tree first; the toolbar has its tooltips and the mouse.
    setFocusProxy(m_tree);

    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { nodeClick(current); });
    connect(m_tree, &QTreeView::clicked, this, &LiteraturePane::nodeClick);
    connect(m_tree, &QTreeView::doubleClicked, this, [this](const QModelIndex &index) {
        nodeClick(index);
        if (m_tolkEnabled)
            Q_EMIT tolkRequested();
    });
    connect(m_tree, &QTreeView::expanded, this, [this](const QModelIndex &index) {
        if (index == m_model->index(0, 0))
            m_model->literature().setAllExpanded(true);
        else if (index == m_model->index(1, 0))
            m_model->literature().setFavExpanded(true);
    });
    connect(m_tree, &QTreeView::collapsed, this, [this](const QModelIndex &index) {
        if (index == m_model->index(0, 0))
            m_model->literature().setAllExpanded(false);
        else if (index == m_model->index(1, 0))
            m_model->literature().setFavExpanded(false);
    });
    m_tree->installEventFilter(this);
}

LiteraturePane::~LiteraturePane() = default;

void LiteraturePane::ShowLit(const QString &textsPath, const platform::SettingsStore &store)
{
    const bool allExpanded =
        store.readBool(platform::SettingsSection, QStringLiteral("LitAExpanded"), true);
    const bool favExpanded =
        store.readBool(platform::SettingsSection, QStringLiteral("LitFExpanded"), true);
    m_model->ShowLit(
        textsPath, [&store](const QString &key) { return store.read(platform::BooksSection, key); },
        allExpanded, favExpanded);
    m_tree->setExpanded(m_model->index(0, 0), allExpanded);
    m_tree->setExpanded(m_model->index(1, 0), favExpanded);
    // Setting the states runs the view's signals; the stored values are what counts.
    m_model->literature().setAllExpanded(allExpanded);
    m_model->literature().setFavExpanded(favExpanded);
    m_add->setEnabled(false);
    m_remove->setEnabled(false);
}

void LiteraturePane::AboutLit()
{
    Q_EMIT statusTextChanged(m_model->literature().aboutText());
}

Literature::SavedState LiteraturePane::savedState() const
{
    return m_model->literature().savedState();
}

QString LiteraturePane::selectedKey() const
{
    return m_model->keyOf(m_tree->currentIndex());
}

QString LiteraturePane::selectedText() const
{
    return m_tree->currentIndex().data(Qt::DisplayRole).toString();
}

bool LiteraturePane::selectNode(const QString &key)
{
    const QModelIndex index = m_model->indexOf(key);
    if (!index.isValid())
        return false;
    m_tree->setCurrentIndex(index);
    nodeClick(index);
    return true;
}

void LiteraturePane::nodeClick(const QModelIndex &index)
{
    const QString key = m_model->keyOf(index);
    const Literature::Buttons buttons = m_model->literature().buttonsFor(key);
    m_add->setEnabled(buttons.add);
    m_remove->setEnabled(buttons.remove);
    m_tolkEnabled = buttons.viewer;
    Q_EMIT tolkEnabledChanged(buttons.viewer);
    if (!key.isEmpty())
        Q_EMIT selectedTextChanged(index.data(Qt::DisplayRole).toString());
}

void LiteraturePane::addToFavourites()
{
    const QString key = selectedKey();
    if (!m_add->isEnabled() || key.isEmpty())
        return;
    switch (m_model->addFavourite(key)) {
    case Literature::AddResult::Added:
        m_add->setEnabled(false);
        break;
    case Literature::AddResult::AlreadyFavourite:
        showMessage(this, MessageIcon::Warning, QStringLiteral("Литература"),
                    selectedText() + QStringLiteral(" уже есть в избранном!"));
        break;
    case Literature::AddResult::NotAnArticle:
        break;
    }
}

void LiteraturePane::removeFromFavourites()
{
    const QString key = selectedKey();
    if (!m_remove->isEnabled() || !key.endsWith(u'*'))
        return;
    if (m_model->removeFavourite(key)) {
        m_remove->setEnabled(false);
        // The view moves the selection to a neighbour; its buttons follow.
        nodeClick(m_tree->currentIndex());
    }
}

void LiteraturePane::treeFocused()
{
    Q_EMIT litFocusGained();
    AboutLit();
    if (!m_tree->currentIndex().isValid())
        m_tree->setCurrentIndex(m_model->index(0, 0));
    else
        nodeClick(m_tree->currentIndex());
}

bool LiteraturePane::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tree && event->type() == QEvent::FocusIn)
        treeFocused();
    // Enter opens the selected article, as a double click does.
    if (watched == m_tree && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (m_tolkEnabled)
                Q_EMIT tolkRequested();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LiteraturePane::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitToolbar();
}

void LiteraturePane::fitToolbar()
{
    // Both captions while they fit the pane's width, only the icons (the captions stay in the
    // tooltips) when the pane is narrower.
    if (m_captionsWidth == 0) {
        const Qt::ToolButtonStyle style = m_toolbar->toolButtonStyle();
        m_toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        m_captionsWidth = m_toolbar->sizeHint().width();
        m_toolbar->setToolButtonStyle(style);
    }
    m_toolbar->setToolButtonStyle(width() >= m_captionsWidth ? Qt::ToolButtonTextBesideIcon
                                                             : Qt::ToolButtonIconOnly);
}

} // namespace kelmor::viewer
