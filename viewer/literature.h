#pragma once

// The literature tree as plain data: the roots "Вся литература" and "Избранная литература", one
// article per "*.lit" file of the texts folder, favourite copies, the enabling rules of the
// favourites toolbar, and the state saved at exit. LiteraturePane shows it.

#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace kelmor::viewer {

// The title of an article file: the name before its last "."; empty for a name without a "."
// or ending in "."; the whole name when the part after the last "." is longer than 10
// characters.
QString literatureTitle(const QString &fileName);

class Literature
{
public:
    enum class Kind { AllRoot, FavouritesRoot, Article, Favourite };

    struct Node
    {
        Kind kind = Kind::Article;
        QString key;  // "all", "fav", the file's full path, or the path followed by "*"
        QString text; // the root's caption or the article's title
        QString tag;  // "f" on an article that is a favourite; empty otherwise
    };

    // What the tree saves at exit: the nodes from the second on (key and tag) and the two
    // roots' expanded states.
    struct SavedState
    {
        QList<std::pair<QString, QString>> nodes;
        bool allExpanded = true;
        bool favExpanded = true;
    };

    // The stored tag of a node key (empty when there is none).
    using TagReader = std::function<QString(const QString &key)>;

    static inline const QString AllKey = QStringLiteral("all");
    static inline const QString FavouritesKey = QStringLiteral("fav");
    static inline const QString FavouriteTag = QStringLiteral("f");

    Literature();

    // ShowLit: the two roots with their expanded states, then one article per "*.lit" file
    // directly in the folder (in any letter case), in file-name order, each followed by its
    // favourite copy when its stored tag is "f". A missing or unreadable folder leaves the
    // roots alone.
    void ShowLit(const QString &textsPath, const TagReader &tags, bool allExpanded = true,
                 bool favExpanded = true);

    const std::vector<Node> &articles() const { return m_articles; }
    const std::vector<Node> &favourites() const { return m_favourites; }
    const Node &allRoot() const { return m_all; }
    const Node &favouritesRoot() const { return m_fav; }
    // The node of a key, or null.
    const Node *find(const QString &key) const;

    // AboutLit: "N книжных статей", N the number of articles.
    QString aboutText() const;

    // The enabling rules of a node: the viewer button, "Добавить в избранное", "Удалить из
    // избранного". A root (or no node) disables all three.
    struct Buttons
    {
        bool viewer = false;
        bool add = false;
        bool remove = false;
        friend bool operator==(const Buttons &, const Buttons &) = default;
    };
    Buttons buttonsFor(const QString &key) const;

    enum class AddResult { Added, AlreadyFavourite, NotAnArticle };
    // Adds the favourite copy of an article (key + "*", its title) under "fav" and tags the
    // article "f".
    AddResult addFavourite(const QString &articleKey);
    // Removes a favourite copy (a key ending in "*") and clears its article's tag. False when
    // the key is not a favourite copy.
    bool removeFavourite(const QString &copyKey);

    bool allExpanded() const { return m_allExpanded; }
    bool favExpanded() const { return m_favExpanded; }
    void setAllExpanded(bool expanded) { m_allExpanded = expanded; }
    void setFavExpanded(bool expanded) { m_favExpanded = expanded; }

    SavedState savedState() const;

    // The file an article or favourite-copy key names: a trailing "*" dropped, spaces trimmed.
    static QString articlePath(const QString &key);

private:
    Node *findArticle(const QString &key);

    Node m_all;
    Node m_fav;
    std::vector<Node> m_articles;
    std::vector<Node> m_favourites; // in the order they were added
    bool m_allExpanded = true;
    bool m_favExpanded = true;
};

} // namespace kelmor::viewer
