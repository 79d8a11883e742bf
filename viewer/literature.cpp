#include "viewer/literature.h"

#include <QDir>

#include <algorithm>

namespace kelmor::viewer {

QString literatureTitle(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0 || dot == fileName.size() - 1)
        return QString();
    if (fileName.size() - dot - 1 > 10)
        return fileName;
    return fileName.left(dot);
}

Literature::Literature()
{
    m_all = Node{Kind::AllRoot, AllKey, QStringLiteral("Вся литература"), QString()};
    m_fav = Node{Kind::FavouritesRoot, FavouritesKey, QStringLiteral("Избранная литература"),
                 QString()};
}

void Literature::ShowLit(const QString &textsPath, const TagReader &tags, bool allExpanded,
                         bool favExpanded)
{
    m_articles.clear();
    m_favourites.clear();
    m_allExpanded = allExpanded;
    m_favExpanded = favExpanded;
    if (textsPath.isEmpty())
        return;
    const QDir folder(textsPath);
    const QStringList names =
        folder.entryList({QStringLiteral("*.lit")}, QDir::Files | QDir::Readable,
                         QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QString &name : names) {
        Node article{Kind::Article, folder.filePath(name), literatureTitle(name), QString()};
        if (tags && tags(article.key) == FavouriteTag) {
            article.tag = FavouriteTag;
            m_favourites.push_back(
                Node{Kind::Favourite, article.key + u'*', article.text, QString()});
        }
        m_articles.push_back(std::move(article));
    }
}

const Literature::Node *Literature::find(const QString &key) const
{
    if (key == AllKey)
        return &m_all;
    if (key == FavouritesKey)
        return &m_fav;
    for (const std::vector<Node> *nodes : {&m_articles, &m_favourites}) {
        const auto it =
            std::find_if(nodes->begin(), nodes->end(), [&](const Node &n) { return n.key == key; });
        if (it != nodes->end())
            return &*it;
    }
    return nullptr;
}

Literature::Node *Literature::findArticle(const QString &key)
{
    const auto it = std::find_if(m_articles.begin(), m_articles.end(),
                                 [&](const Node &n) { return n.key == key; });
    return it != m_articles.end() ? &*it : nullptr;
}

QString Literature::aboutText() const
{
    return QString::number(m_articles.size()) + QStringLiteral(" книжных статей");
}

Literature::Buttons Literature::buttonsFor(const QString &key) const
{
    const Node *node = find(key);
    if (!node)
        return {};
    switch (node->kind) {
    case Kind::Article:
        return {true, node->tag != FavouriteTag, false};
    case Kind::Favourite:
        return {true, false, true};
    default:
        return {};
    }
}

Literature::AddResult Literature::addFavourite(const QString &articleKey)
{
    Node *article = findArticle(articleKey);
    if (!article)
        return AddResult::NotAnArticle;
    const QString copyKey = article->key + u'*';
    if (find(copyKey))
        return AddResult::AlreadyFavourite;
    m_favourites.push_back(Node{Kind::Favourite, copyKey, article->text, QString()});
    article->tag = FavouriteTag;
    return AddResult::Added;
}

bool Literature::removeFavourite(const QString &copyKey)
{
    if (!copyKey.endsWith(u'*'))
        return false;
    const auto it = std::find_if(m_favourites.begin(), m_favourites.end(),
                                 [&](const Node &n) { return n.key == copyKey; });
    if (it == m_favourites.end())
        return false;
    m_favourites.erase(it);
    if (Node *article = findArticle(copyKey.chopped(1)))
        article->tag.clear();
    return true;
}

Literature::SavedState Literature::savedState() const
{
    SavedState state;
    state.allExpanded = m_allExpanded;
    state.favExpanded = m_favExpanded;
    state.nodes.append({m_fav.key, m_fav.tag});
    for (const Node &article : m_articles)
        state.nodes.append({article.key, article.tag});
    for (const Node &copy : m_favourites)
        state.nodes.append({copy.key, copy.tag});
    return state;
}

QString Literature::articlePath(const QString &key)
{
    QString path = key;
    if (path.endsWith(u'*'))
        path[path.size() - 1] = u' ';
    return path.trimmed();
}

} // namespace kelmor::viewer
