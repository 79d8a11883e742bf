#pragma once

// The literature pane of the main window: the favourites toolbar over the tree of articles in its
// frame. LiteratureModel puts the plain Literature tree behind the
// view; the pane turns the view's events into the tree's rules and tells the main window,
// through its signals, what to show in the status bar, the selected-item label and the viewer
// button, and when to open the viewer.

#include "viewer/literature.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QWidget>

class QAction;
class QFrame;
class QToolBar;
class QTreeView;

namespace kelmor::platform {
class SettingsStore;
}

namespace kelmor::viewer {

class LiteratureModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    enum Role { KeyRole = Qt::UserRole + 1, TagRole, KindRole };

    explicit LiteratureModel(QObject *parent = nullptr);

    const Literature &literature() const { return m_literature; }
    Literature &literature() { return m_literature; }

    // Rebuilds the tree (Literature::ShowLit) as one model reset.
    void ShowLit(const QString &textsPath, const Literature::TagReader &tags, bool allExpanded,
                 bool favExpanded);
    Literature::AddResult addFavourite(const QString &articleKey);
    bool removeFavourite(const QString &copyKey);

    QModelIndex indexOf(const QString &key) const;
    QString keyOf(const QModelIndex &index) const;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    const Literature::Node *node(const QModelIndex &index) const;

    Literature m_literature;
    QIcon m_articleIcon;
    QIcon m_allIcon;
    QIcon m_favIcon;
};

class LiteraturePane : public QWidget
{
    Q_OBJECT
public:
    explicit LiteraturePane(QWidget *parent = nullptr);
    ~LiteraturePane() override;

    // ShowLit: builds the tree from the "*.lit" files of the folder, with the favourite marks
    // (BooksSection, by article key) and the roots' expanded states (LitAExpanded,
    // LitFExpanded) of the store.
    void ShowLit(const QString &textsPath, const platform::SettingsStore &store);
    // AboutLit: asks for "N книжных статей" in the status bar.
    void AboutLit();
    // What ExitApp saves: the nodes from the second on and the roots' expanded states.
    Literature::SavedState savedState() const;

    // The selected node's key and text (empty without a selection).
    QString selectedKey() const;
    QString selectedText() const;
    // Selects a node as a click does (tests, keyboard).
    bool selectNode(const QString &key);

    // The favourites toolbar's buttons.
    void addToFavourites();
    void removeFromFavourites();

    LiteratureModel *model() const { return m_model; }
    QTreeView *tree() const { return m_tree; }
    QToolBar *toolbar() const { return m_toolbar; }
    QAction *addButton() const { return m_add; }
    QAction *removeButton() const { return m_remove; }
    // Whether the viewer button should be enabled for the selected node.
    bool isTolkEnabled() const { return m_tolkEnabled; }

Q_SIGNALS:
    // The tree got the focus: articles, not interpretations, go to the viewer now.
    void litFocusGained();
    void statusTextChanged(const QString &text);
    // The viewer button is enabled for an article or a favourite copy, disabled for a root.
    void tolkEnabledChanged(bool enabled);
    // The selected node's text, for the main window's selected-item label.
    void selectedTextChanged(const QString &text);
    // A double click on an article or a favourite copy: press the viewer button and show it.
    void tolkRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void nodeClick(const QModelIndex &index);
    void treeFocused();
    void fitToolbar();

    LiteratureModel *m_model = nullptr;
    QToolBar *m_toolbar = nullptr;
    QAction *m_add = nullptr;
    QAction *m_remove = nullptr;
    QFrame *m_frame = nullptr;
    QTreeView *m_tree = nullptr;
    int m_captionsWidth = 0;
    bool m_tolkEnabled = false;
};

} // namespace kelmor::viewer
