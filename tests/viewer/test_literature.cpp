// The literature tree: titles, the folder listing, favourites across a restart, the buttons'
// rules, focus, double click, the saved expanded states; the model and the pane.
#include "platform/settings.h"
#include "shell/exit_state.h"
#include "viewer/literature.h"
#include "viewer/literature_pane.h"
#include "viewer/messages.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace kelmor::viewer;
using kelmor::platform::SettingsStore;

namespace {

struct TitleCase
{
    const char16_t *name;
    const char16_t *title;
};

class LiteratureTitle : public ::testing::TestWithParam<TitleCase>
{
};

TEST_P(LiteratureTitle, IsTheTextBeforeTheLastDot)
{
    EXPECT_EQ(literatureTitle(QString::fromUtf16(GetParam().name)),
              QString::fromUtf16(GetParam().title));
}

INSTANTIATE_TEST_SUITE_P(Cases, LiteratureTitle,
                         ::testing::Values(TitleCase{u"Сны и судьба.lit", u"Сны и судьба"},
                                           TitleCase{u"Толкования.lit", u"Толкования"},
                                           TitleCase{u"Том 2. Сны.lit", u"Том 2. Сны"},
                                           TitleCase{u"без точки", u""},
                                           TitleCase{u"кончается точкой.", u""},
                                           TitleCase{u".lit", u""},
                                           TitleCase{u"a.abcdefghij", u"a"},
                                           TitleCase{u"a.abcdefghijk", u"a.abcdefghijk"}));

class LiteratureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        texts = dir.filePath(QStringLiteral("Texts"));
        ASSERT_TRUE(QDir().mkpath(texts));
        store = std::make_unique<SettingsStore>(
            SettingsStore::atFile(dir.filePath(QStringLiteral("settings.conf"))));
        setMessageHandler(
            [this](QWidget *, MessageIcon icon, const QString &caption, const QString &text) {
                messages.push_back({icon, caption, text});
            });
    }
    void TearDown() override { setMessageHandler({}); }

    void addFile(const QString &name, const QByteArray &content = "{\\rtf1 text}")
    {
        QFile f(QDir(texts).filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QString key(const QString &name) const { return QDir(texts).filePath(name); }

    // A new start: a pane built from the folder and the store.
    std::unique_ptr<LiteraturePane> start()
    {
        auto pane = std::make_unique<LiteraturePane>();
        pane->resize(300, 400);
        pane->ShowLit(texts, *store);
        return pane;
    }
    // The end of the program: ExitApp's save of the tree's state.
    void exitApp(const LiteraturePane &pane)
    {
        const Literature::SavedState saved = pane.savedState();
        kelmor::shell::ExitState state;
        for (const auto &[nodeKey, tag] : saved.nodes)
            state.litNodes.append({nodeKey, tag});
        state.litAExpanded = saved.allExpanded;
        state.litFExpanded = saved.favExpanded;
        kelmor::shell::saveExitState(*store, state);
    }
    QStringList children(const LiteraturePane &pane, const QString &root) const
    {
        QStringList out;
        const QModelIndex parent = pane.model()->indexOf(root);
        for (int r = 0; r < pane.model()->rowCount(parent); ++r)
            out.append(pane.model()->index(r, 0, parent).data().toString());
        return out;
    }

    struct Message
    {
        MessageIcon icon;
        QString caption;
        QString text;
    };

    QTemporaryDir dir;
    QString texts;
    std::unique_ptr<SettingsStore> store;
    std::vector<Message> messages;
};

TEST_F(LiteratureTest, ListsTheArticlesOfTheFolderInNameOrder)
{
    addFile(QStringLiteral("Толкования.lit"));
    addFile(QStringLiteral("Сны и судьба.lit"));
    Literature two;
    two.ShowLit(texts, {});
    ASSERT_EQ(two.articles().size(), 2u);
    EXPECT_EQ(two.articles()[0].text, "Сны и судьба");
    EXPECT_EQ(two.articles()[0].key, key(QStringLiteral("Сны и судьба.lit")));
    EXPECT_EQ(two.articles()[1].text, "Толкования");
    EXPECT_EQ(two.aboutText(), "2 книжных статей");

    // Any letter case of the extension; other files and folders are not articles.
    addFile(QStringLiteral("архив.LIT"));
    addFile(QStringLiteral("заметки.txt"));
    addFile(QStringLiteral("lit"));
    ASSERT_TRUE(QDir(texts).mkdir(QStringLiteral("папка.lit")));
    Literature more;
    more.ShowLit(texts, {});
    QStringList titles;
    for (const auto &a : more.articles())
        titles.append(a.text);
    EXPECT_EQ(titles, QStringList({"архив", "Сны и судьба", "Толкования"}));
}

TEST_F(LiteratureTest, MissingFolderLeavesTheRoots)
{
    Literature tree;
    tree.ShowLit(dir.filePath(QStringLiteral("нет такой")), {});
    EXPECT_TRUE(tree.articles().empty());
    EXPECT_EQ(tree.aboutText(), "0 книжных статей");
    auto pane = std::make_unique<LiteraturePane>();
    pane->ShowLit(dir.filePath(QStringLiteral("нет такой")), *store);
    EXPECT_EQ(pane->model()->rowCount(), 2);
    EXPECT_EQ(pane->model()->index(0, 0).data().toString(), "Вся литература");
    EXPECT_EQ(pane->model()->index(1, 0).data().toString(), "Избранная литература");
    EXPECT_EQ(pane->tree()->toolTip(), "Открытие по двойному щелчку");
}

TEST_F(LiteratureTest, FavouriteSurvivesARestart)
{
    addFile(QStringLiteral("Сны и судьба.lit"));
    addFile(QStringLiteral("Толкования.lit"));
    const QString article = key(QStringLiteral("Толкования.lit"));
    {
        auto pane = start();
        ASSERT_TRUE(pane->selectNode(article));
        EXPECT_TRUE(pane->addButton()->isEnabled());
        EXPECT_FALSE(pane->removeButton()->isEnabled());
        pane->addButton()->trigger();
        EXPECT_FALSE(pane->addButton()->isEnabled());
        EXPECT_EQ(children(*pane, Literature::FavouritesKey), QStringList{"Толкования"});
        exitApp(*pane);
    }
    EXPECT_EQ(store->read(kelmor::platform::BooksSection, article), "f");
    auto pane = start();
    EXPECT_EQ(children(*pane, Literature::AllKey), QStringList({"Сны и судьба", "Толкования"}));
    EXPECT_EQ(children(*pane, Literature::FavouritesKey), QStringList{"Толкования"});
    EXPECT_EQ(pane->model()->indexOf(article).data(LiteratureModel::TagRole).toString(), "f");
    ASSERT_TRUE(pane->selectNode(article));
    EXPECT_FALSE(pane->addButton()->isEnabled());
    EXPECT_FALSE(pane->removeButton()->isEnabled());
    EXPECT_TRUE(pane->isTolkEnabled());
}

TEST_F(LiteratureTest, RemovedFavouriteIsGoneAfterARestart)
{
    addFile(QStringLiteral("Сны и судьба.lit"));
    const QString article = key(QStringLiteral("Сны и судьба.lit"));
    store->write(kelmor::platform::BooksSection, article, QStringLiteral("f"));
    {
        auto pane = start();
        ASSERT_TRUE(pane->selectNode(article + u'*'));
        EXPECT_FALSE(pane->addButton()->isEnabled());
        EXPECT_TRUE(pane->removeButton()->isEnabled());
        EXPECT_TRUE(pane->isTolkEnabled());
        pane->removeButton()->trigger();
        EXPECT_TRUE(children(*pane, Literature::FavouritesKey).isEmpty());
        EXPECT_TRUE(
            pane->model()->indexOf(article).data(LiteratureModel::TagRole).toString().isEmpty());
        EXPECT_FALSE(pane->removeButton()->isEnabled());
        ASSERT_TRUE(pane->selectNode(article));
        EXPECT_TRUE(pane->addButton()->isEnabled()); // may be added again
        exitApp(*pane);
    }
    EXPECT_EQ(store->read(kelmor::platform::BooksSection, article, QStringLiteral("?")), "");
    auto pane = start();
    EXPECT_TRUE(children(*pane, Literature::FavouritesKey).isEmpty());
}

TEST_F(LiteratureTest, SavedStateIsEveryNodeFromTheSecondOn)
{
    addFile(QStringLiteral("a.lit"));
    addFile(QStringLiteral("b.lit"));
    Literature tree;
    tree.ShowLit(texts, [&](const QString &k) { return k == key("b.lit") ? "f" : ""; });
    EXPECT_EQ(tree.addFavourite(key("a.lit")), Literature::AddResult::Added);
    const Literature::SavedState saved = tree.savedState();
    const QList<std::pair<QString, QString>> expected = {{"fav", ""},
                                                         {key("a.lit"), "f"},
                                                         {key("b.lit"), "f"},
                                                         {key("b.lit") + "*", ""},
                                                         {key("a.lit") + "*", ""}};
    EXPECT_EQ(saved.nodes, expected);
    // Only article keys are read back: a stored value of a copy's key or of "fav" is no mark.
    EXPECT_EQ(tree.addFavourite(key("a.lit")), Literature::AddResult::AlreadyFavourite);
    EXPECT_EQ(tree.addFavourite(key("a.lit") + "*"), Literature::AddResult::NotAnArticle);
    EXPECT_EQ(tree.addFavourite(QStringLiteral("fav")), Literature::AddResult::NotAnArticle);
    EXPECT_FALSE(tree.removeFavourite(key("a.lit")));
}

TEST_F(LiteratureTest, CollapsedRootIsRestored)
{
    addFile(QStringLiteral("a.lit"));
    {
        auto pane = start();
        EXPECT_TRUE(pane->tree()->isExpanded(pane->model()->indexOf(Literature::AllKey)));
        EXPECT_TRUE(pane->tree()->isExpanded(pane->model()->indexOf(Literature::FavouritesKey)));
        pane->tree()->collapse(pane->model()->indexOf(Literature::AllKey));
        exitApp(*pane);
    }
    EXPECT_EQ(store->read(kelmor::platform::SettingsSection, QStringLiteral("LitAExpanded")),
              "False");
    EXPECT_EQ(store->read(kelmor::platform::SettingsSection, QStringLiteral("LitFExpanded")),
              "True");
    auto pane = start();
    EXPECT_FALSE(pane->tree()->isExpanded(pane->model()->indexOf(Literature::AllKey)));
    EXPECT_TRUE(pane->tree()->isExpanded(pane->model()->indexOf(Literature::FavouritesKey)));
    EXPECT_FALSE(pane->savedState().allExpanded);
}

TEST_F(LiteratureTest, RootsDisableTheButtons)
{
    addFile(QStringLiteral("a.lit"));
    store->write(kelmor::platform::BooksSection, key("a.lit"), QStringLiteral("f"));
    auto pane = start();
    QSignalSpy tolk(pane.get(), &LiteraturePane::tolkEnabledChanged);
    QSignalSpy label(pane.get(), &LiteraturePane::selectedTextChanged);
    for (const QString &root : {Literature::AllKey, Literature::FavouritesKey}) {
        ASSERT_TRUE(pane->selectNode(key("a.lit") + "*"));
        ASSERT_TRUE(pane->selectNode(root));
        EXPECT_FALSE(pane->addButton()->isEnabled()) << root.toStdString();
        EXPECT_FALSE(pane->removeButton()->isEnabled()) << root.toStdString();
        EXPECT_FALSE(pane->isTolkEnabled());
        ASSERT_FALSE(tolk.isEmpty());
        EXPECT_FALSE(tolk.last().at(0).toBool());
    }
    EXPECT_EQ(label.last().at(0).toString(), "Избранная литература");
    ASSERT_TRUE(pane->selectNode(key("a.lit")));
    EXPECT_TRUE(tolk.last().at(0).toBool());
    EXPECT_EQ(label.last().at(0).toString(), "a");
    addFile(QStringLiteral("Вещие сны в народной традиции.lit"));
    pane->ShowLit(texts, *store);
    ASSERT_TRUE(pane->selectNode(key("Вещие сны в народной традиции.lit")));
    EXPECT_EQ(label.last().at(0).toString(), "Вещие сны в народной традиции");
}

TEST_F(LiteratureTest, FocusReportsLiteratureAndSelectsTheFirstNode)
{
    addFile(QStringLiteral("a.lit"));
    addFile(QStringLiteral("b.lit"));
    auto pane = start();
    pane->show();
    QSignalSpy focus(pane.get(), &LiteraturePane::litFocusGained);
    QSignalSpy status(pane.get(), &LiteraturePane::statusTextChanged);
    QSignalSpy tolk(pane.get(), &LiteraturePane::tolkEnabledChanged);
    QFocusEvent in(QEvent::FocusIn, Qt::OtherFocusReason);
    QCoreApplication::sendEvent(pane->tree(), &in);
    EXPECT_EQ(focus.count(), 1);
    ASSERT_EQ(status.count(), 1);
    EXPECT_EQ(status.last().at(0).toString(), "2 книжных статей");
    EXPECT_EQ(pane->selectedKey(), Literature::AllKey);
    ASSERT_FALSE(tolk.isEmpty());
    EXPECT_FALSE(tolk.last().at(0).toBool());
}

TEST_F(LiteratureTest, DoubleClickAndEnterOpenArticlesOnly)
{
    addFile(QStringLiteral("a.lit"));
    auto pane = start();
    pane->show();
    QSignalSpy open(pane.get(), &LiteraturePane::tolkRequested);
    const QModelIndex article = pane->model()->indexOf(key("a.lit"));
    const QPoint at = pane->tree()->visualRect(article).center();
    QTest::mouseClick(pane->tree()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(pane->tree()->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(open.count(), 1);
    EXPECT_EQ(pane->selectedKey(), key("a.lit"));
    QTest::keyClick(pane->tree(), Qt::Key_Return);
    EXPECT_EQ(open.count(), 2);
    ASSERT_TRUE(pane->selectNode(Literature::AllKey));
    QTest::keyClick(pane->tree(), Qt::Key_Return);
    const QPoint root = pane->tree()->visualRect(pane->model()->indexOf("fav")).center();
    QTest::mouseDClick(pane->tree()->viewport(), Qt::LeftButton, {}, root);
    EXPECT_EQ(open.count(), 2);
}

TEST_F(LiteratureTest, AddingAnExistingFavouriteWarns)
{
    addFile(QStringLiteral("Сны и судьба.lit"));
    store->write(kelmor::platform::BooksSection, key("Сны и судьба.lit"), QStringLiteral("f"));
    auto pane = start();
    ASSERT_TRUE(pane->selectNode(key("Сны и судьба.lit")));
    EXPECT_FALSE(pane->addButton()->isEnabled());
    // The button is disabled for a favourite; should it be pressed all the same, the copy is
    // not added twice.
    pane->addButton()->setEnabled(true);
    pane->addButton()->trigger();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(messages[0].caption, "Литература");
    EXPECT_EQ(messages[0].text, "Сны и судьба уже есть в избранном!");
    EXPECT_EQ(children(*pane, Literature::FavouritesKey).size(), 1);
}

TEST(LiteraturePath, FavouriteCopyNamesItsArticle)
{
    EXPECT_EQ(Literature::articlePath("/t/a.lit*"), "/t/a.lit");
    EXPECT_EQ(Literature::articlePath("/t/a.lit"), "/t/a.lit");
    EXPECT_EQ(Literature::articlePath(" /t/a.lit "), "/t/a.lit");
}

} // namespace
