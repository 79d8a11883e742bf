// The viewer window: positions in the view, link hover and clicks, history, keys, geometry,
// find and copy.
#include "book_fakes.h"
#include "dark_theme.h"

#include "platform/settings.h"
#include "viewer/copy_formats.h"
#include "viewer/fonts.h"
#include "viewer/interpretation_document.h"
#include "viewer/messages.h"
#include "viewer/search_form.h"
#include "viewer/tolk.h"

#include <QApplication>
#include <QClipboard>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>

using namespace kelmor::viewer;
using namespace kelmor::viewer::testing;

namespace {

struct Message
{
    MessageIcon icon;
    QString caption;
    QString text;
};

class TolkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        installFonts();
        ASSERT_TRUE(dir.isValid());
        settings = std::make_unique<kelmor::platform::SettingsStore>(
            kelmor::platform::SettingsStore::atFile(dir.filePath("settings.conf")));
        setMessageHandler(
            [this](QWidget *, MessageIcon icon, const QString &caption, const QString &text) {
                messages.push_back({icon, caption, text});
            });
        // A chain of words, each linking to the next; "Г" links to itself and to a word no
        // book has.
        books = {
            fakeBook(u"Сонник", 0x0000FF,
                     {{u"А", u"Про А.", u"Б."},
                      {u"Б", u"Про Б – и всё.", u"В; А."},
                      {u"В", u"Про В.", u"Г."},
                      {u"Г", u"Про Г. Ещё Г и г.", u"Г; Нет такого."}}),
            fakeBook(u"Другой", 0x008000, {{u"а", u"Вторая книга про а.", u"Б."}}),
        };
    }
    void TearDown() override { setMessageHandler({}); }

    std::unique_ptr<Tolk>
    makeTolk(std::optional<QString> selected = QStringLiteral("А"),
             std::function<std::optional<QString>(const QString &)> resolveWord = {})
    {
        Tolk::Context context;
        context.resolveWord = std::move(resolveWord);
        context.books = [this] { return books; };
        context.selectedWord = [selected] { return selected; };
        context.litHasFocus = [] { return false; };
        context.mainTopTwips = 1500;
        auto tolk = std::make_unique<Tolk>(context, settings.get());
        tolk->setAttribute(Qt::WA_DeleteOnClose, false);
        return tolk;
    }

    // A point over the character at a position of the plain text.
    static QPoint pointAt(Tolk &tolk, int position)
    {
        InterpretationView *view = tolk.view();
        QTextCursor c(view->document());
        c.setPosition(position);
        const QRect left = view->cursorRect(c);
        c.setPosition(position + 1);
        const QRect right = view->cursorRect(c);
        return QPoint((left.left() + right.left()) / 2, left.center().y());
    }

    static void hover(Tolk &tolk, QPoint p)
    {
        QMouseEvent move(QEvent::MouseMove, p, tolk.view()->viewport()->mapToGlobal(p),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(tolk.view()->viewport(), &move);
    }

    static void click(Tolk &tolk, QPoint p)
    {
        hover(tolk, p);
        QWidget *vp = tolk.view()->viewport();
        QMouseEvent press(QEvent::MouseButtonPress, p, vp->mapToGlobal(p), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(vp, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, p, vp->mapToGlobal(p), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(vp, &release);
    }

    // Clicks the middle of the first link with that word.
    static void clickLink(Tolk &tolk, const QString &word)
    {
        const int at = int(tolk.view()->plainText().indexOf(u'<' + word + u'>'));
        ASSERT_GE(at, 0) << word.toStdString();
        click(tolk, pointAt(tolk, at + 1 + int(word.size()) / 2));
    }

    static QStringList menuWords(const Tolk &tolk)
    {
        QStringList words;
        for (QAction *a : tolk.backMenu()->actions())
            words << a->text();
        return words;
    }

    static void key(Tolk &tolk, int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(tolk.view(), Qt::Key(k), mods);
    }

    QTemporaryDir dir;
    std::unique_ptr<kelmor::platform::SettingsStore> settings;
    std::vector<InterpretationBook> books;
    std::vector<Message> messages;
};

} // namespace

TEST_F(TolkTest, ViewPositionsEqualPlainTextPositions)
{
    auto tolk = makeTolk();
    ASSERT_TRUE(tolk->load());
    const QString plain = tolk->view()->plainText();
    ASSERT_TRUE(plain.contains(u"\r\n\r\n& Сонник:§\r\n"));
    const QTextDocument *doc = tolk->view()->document();
    EXPECT_EQ(doc->characterCount() - 1, plain.size()) << "one view character per text character";
    EXPECT_EQ(kelmor::viewer::plainText(doc), plain);
    // Marker characters sit at the same positions in the view.
    for (const QChar marker : {u'<', u'>', u'§', u'^', u'&', u'F'}) {
        for (qsizetype i = plain.indexOf(marker); i >= 0; i = plain.indexOf(marker, i + 1))
            EXPECT_EQ(doc->characterAt(int(i)), marker) << i;
    }
    EXPECT_EQ(tolk->windowTitle(), "А");
    EXPECT_EQ(tolk->view()->tag(), "А");
    EXPECT_TRUE(tolk->view()->isReadOnly());
}

// WCAG contrast ratio of two colours.
static double contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(TolkTest, DarkThemeKeepsTheDocumentReadable)
{
    const DarkTheme theme;
    auto tolk = makeTolk(QStringLiteral("Б"));
    ASSERT_TRUE(tolk->load());
    tolk->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tolk.get()));
    InterpretationView *view = tolk->view();
    const QColor page = view->palette().color(QPalette::Base);
    const QColor text = view->palette().color(QPalette::Text);
    EXPECT_GE(contrast(page, text), 7.0)
        << page.name().toStdString() << " " << text.name().toStdString();
    // What is painted behind the text is that page colour.
    EXPECT_EQ(view->viewport()->grab().toImage().pixelColor(1, 1), page);
    // Every visible run stands out from the page: its own colour, or the view's text colour.
    int coloured = 0;
    for (QTextBlock block = view->document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().color().alpha() == 0)
                continue; // a hidden marker
            const QColor colour =
                f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color() : text;
            coloured += colour != text;
            EXPECT_GE(contrast(page, colour), 3.0)
                << it.fragment().text().toStdString() << " " << colour.name().toStdString();
        }
    EXPECT_GT(coloured, 0);
}

TEST_F(TolkTest, SameWordTwiceRebuildsNothingOtherCaseRebuilds)
{
    int seeks = 0;
    auto counting = books[0].seek;
    books[0].seek = [&seeks, counting](std::u16string_view w) {
        ++seeks;
        return counting(w);
    };
    auto tolk = makeTolk();
    ASSERT_TRUE(tolk->load());
    const int afterLoad = seeks;
    EXPECT_TRUE(tolk->ShowInterpretation(QStringLiteral("А")));
    EXPECT_EQ(seeks, afterLoad);
    EXPECT_TRUE(tolk->ShowInterpretation(QStringLiteral("а")));
    EXPECT_EQ(seeks, afterLoad + 1);
    EXPECT_TRUE(tolk->view()->plainText().startsWith(u" а\r\n"));
    // A word no enabled book has changes nothing.
    EXPECT_FALSE(tolk->ShowInterpretation(QStringLiteral("Нет такого")));
    EXPECT_EQ(tolk->view()->tag(), "а");
    EXPECT_EQ(tolk->windowTitle(), "а");
}

TEST_F(TolkTest, HoverShowsTheLinkPointerAndTooltipOnlyOverLinks)
{
    auto tolk = makeTolk(QStringLiteral("Б"));
    tolk->resize(600, 500);
    tolk->show();
    ASSERT_TRUE(tolk->load());
    QApplication::processEvents();
    const QString plain = tolk->view()->plainText();
    QWidget *vp = tolk->view()->viewport();

    struct Case
    {
        int position;
        QString tooltip;
    };
    const int link = int(plain.indexOf(u"<В>"));
    const std::vector<Case> cases{
        {link + 1, QStringLiteral("Перейти к «В»")},
        {int(plain.indexOf(u"<А>")) + 1, QStringLiteral("Перейти к «А»")},
        {1, QString()},                                 // the heading word
        {int(plain.indexOf(u"Про Б")) + 2, QString()},  // article text
        {int(plain.indexOf(u"Сонник")) + 2, QString()}, // book heading
        {int(plain.indexOf(u">, <")) + 2, QString()},   // the ", " between links
    };
    for (const Case &c : cases) {
        hover(*tolk, pointAt(*tolk, c.position));
        EXPECT_EQ(vp->toolTip(), c.tooltip) << c.position;
        EXPECT_EQ(vp->cursor().shape(),
                  c.tooltip.isEmpty() ? Qt::IBeamCursor : Qt::PointingHandCursor)
            << c.position;
    }
}

TEST_F(TolkTest, FollowingLinksBuildsTheHistoryAndBackWalksIt)
{
    auto tolk = makeTolk();
    tolk->resize(600, 500);
    tolk->show();
    ASSERT_TRUE(tolk->load());
    QApplication::processEvents();
    QToolButton *back = tolk->button("Back");
    QToolButton *home = tolk->button("Home");
    EXPECT_FALSE(back->isEnabled());
    EXPECT_FALSE(home->isEnabled());

    clickLink(*tolk, "Б");
    clickLink(*tolk, "В");
    clickLink(*tolk, "Г");
    EXPECT_EQ(tolk->view()->tag(), "Г");
    EXPECT_EQ(tolk->history(), QStringList({"А", "Б", "В"}));
    EXPECT_EQ(menuWords(*tolk), QStringList({"А", "Б", "В"}));
    EXPECT_TRUE(back->isEnabled() && home->isEnabled());

    // The shown word's own link does nothing; a word no book has leaves the view but records
    // the way back.
    clickLink(*tolk, "Г");
    EXPECT_EQ(tolk->history().size(), 3);
    clickLink(*tolk, "Нет такого");
    EXPECT_EQ(tolk->view()->tag(), "Г");
    EXPECT_EQ(tolk->history(), QStringList({"А", "Б", "В", "Г"}));
    tolk->goBack(); // newest entry "Г" is the word shown: nothing to rebuild
    EXPECT_EQ(tolk->history(), QStringList({"А", "Б", "В"}));

    for (const char *expected : {"В", "Б", "А"}) {
        key(*tolk, Qt::Key_Backspace, Qt::ControlModifier);
        EXPECT_EQ(tolk->view()->tag(), QString::fromUtf8(expected));
    }
    EXPECT_TRUE(tolk->history().isEmpty());
    EXPECT_FALSE(back->isEnabled());
    EXPECT_FALSE(home->isEnabled());
    // Disabled: the key does nothing, and Ctrl with another modifier is not the key.
    clickLink(*tolk, "Б");
    key(*tolk, Qt::Key_Backspace, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(tolk->view()->tag(), "Б");
}

TEST_F(TolkTest, ALinkToAnotherFormOfAHeadwordShowsTheHeadword)
{
    books.push_back(fakeBook(u"Третий", 0x000080, {{u"Д", u"Про Д.", u"гэ; А; жэ."}}));
    QStringList asked;
    auto tolk = makeTolk(QStringLiteral("Д"), [&asked](const QString &word) {
        asked << word;
        return word == QStringLiteral("гэ") ? std::optional<QString>(QStringLiteral("Г"))
                                            : std::nullopt;
    });
    tolk->resize(600, 500);
    tolk->show();
    ASSERT_TRUE(tolk->load());
    QApplication::processEvents();

    clickLink(*tolk, "гэ");
    EXPECT_EQ(tolk->view()->tag(), "Г");
    EXPECT_EQ(tolk->history(), QStringList({"Д"}));
    tolk->goBack();
    // A headword is shown as it is, without asking; a word of no form changes nothing.
    clickLink(*tolk, "А");
    EXPECT_EQ(tolk->view()->tag(), "А");
    tolk->goBack();
    clickLink(*tolk, "жэ");
    EXPECT_EQ(tolk->view()->tag(), "Д");
    EXPECT_EQ(asked, QStringList({"гэ", "жэ"}));
}

TEST_F(TolkTest, HomeDropDownAndRepeatedWords)
{
    auto tolk = makeTolk();
    tolk->resize(600, 500);
    tolk->show();
    ASSERT_TRUE(tolk->load());
    QApplication::processEvents();
    clickLink(*tolk, "Б"); // А → Б
    clickLink(*tolk, "А"); // Б → А
    clickLink(*tolk, "Б"); // А → Б
    clickLink(*tolk, "В");
    EXPECT_EQ(tolk->history(), QStringList({"А", "Б", "А", "Б"}));
    EXPECT_EQ(menuWords(*tolk), QStringList({"А", "Б"})) << "each word once, oldest place";

    // A drop-down entry shows its word and leaves only the menu.
    tolk->backMenu()->actions().at(1)->trigger();
    EXPECT_EQ(tolk->view()->tag(), "Б");
    EXPECT_EQ(menuWords(*tolk), QStringList({"А"}));
    EXPECT_EQ(tolk->history().size(), 4);

    key(*tolk, Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(tolk->view()->tag(), "А");
    EXPECT_TRUE(tolk->history().isEmpty());
    EXPECT_TRUE(menuWords(*tolk).isEmpty());
    EXPECT_FALSE(tolk->button("Home")->isEnabled());
}

TEST_F(TolkTest, ToolbarCaptionsAndTooltips)
{
    auto tolk = makeTolk();
    const struct
    {
        const char *key;
        const char *caption;
        const char *tooltip;
    } expected[] = {
        // The "с" of "BackSpaсe" is U+0441.
        {"Back", "Назад",
         "Вернуться к предыдущему слову (Ctrl+BackSpa\xd1\x81"
         "e)"},
        {"Home", "В начало", "Вернуться к выбранному слову (Ctrl+H)"},
        {"Prnt", "Печать", "Распечатать толкование (Ctrl+P)"},
        {"Copy", "Копировать", "Скопировать в буфер (Ctrl+C)"},
        {"find", "Найти", "Искать в тексте (F3)"},
    };
    for (const auto &e : expected) {
        QToolButton *b = tolk->button(QString::fromLatin1(e.key));
        ASSERT_NE(b, nullptr) << e.key;
        EXPECT_EQ(b->text(), QString::fromUtf8(e.caption));
        EXPECT_EQ(b->toolTip(), QString::fromUtf8(e.tooltip));
    }
    EXPECT_EQ(tolk->windowTitle(), "Толкование сна");
    EXPECT_NE(tolk->findChild<QWidget *>("Text2"), nullptr);

    // At the designed width every button shows its caption, none is hidden behind the
    // toolbar's extension arrow; a narrow window keeps all five buttons as icons.
    ASSERT_TRUE(tolk->load());
    tolk->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tolk.get()));
    const auto allShown = [&] {
        for (const auto &e : expected) {
            QToolButton *b = tolk->button(QString::fromLatin1(e.key));
            if (!b->isVisible() || b->geometry().right() >= tolk->width())
                return false;
        }
        return true;
    };
    EXPECT_TRUE(allShown());
    EXPECT_EQ(tolk->button("find")->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    tolk->resize(380, tolk->height());
    QTest::qWait(20);
    EXPECT_TRUE(allShown());
    EXPECT_EQ(tolk->button("find")->toolButtonStyle(), Qt::ToolButtonIconOnly);
}

TEST_F(TolkTest, MinimumSizeOnlyUnderTheProgramsOwnName)
{
    const struct
    {
        const char *program;
        QSize minimum;
    } cases[] = {
        {"kelmor", QSize(380, 200)}, {"KELMOR", QSize(380, 200)},
        {"Kelmor", QSize(380, 200)}, {"kelmor-dev", QSize(0, 0)},
        {"kelmor3", QSize(0, 0)},    {"", QSize(0, 0)}, // the running executable: this test
    };
    for (const auto &c : cases) {
        Tolk::Context context;
        context.executableBaseName = QString::fromLatin1(c.program);
        Tolk tolk(context, nullptr);
        EXPECT_EQ(tolk.minimumSize(), c.minimum) << c.program;
    }
}

TEST_F(TolkTest, NothingSelectedReportsNothingToShow)
{
    auto tolk = makeTolk(std::nullopt);
    EXPECT_FALSE(tolk->load());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, "TolkLoad");
    EXPECT_EQ(messages[0].text, "Нечего отображать");
    EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
}

TEST(TolkGeometry, StoredValuesAreCorrected)
{
    const QSize screen(1000, 800); // 15000 × 12000 twips
    struct Case
    {
        double top, left, height, width;
        QRect expected;
    };
    const std::vector<Case> cases{
        {1500, 300, 6000, 7500, QRect(20, 100, 500, 400)},
        // Centred with the stored size, then the size raised to 4000.
        {0, 0.5, 3000, 3000, QRect(400, 300, 266, 266)},
        {-10, 150, 9000, 4500, QRect(10, 100, 300, 600)},
        {15, 15, 3999, 4000, QRect(1, 1, 266, 266)},
    };
    for (const Case &c : cases)
        EXPECT_EQ(restoredTolkGeometry(c.top, c.left, c.height, c.width, screen), c.expected)
            << c.top << " " << c.left;
}

TEST_F(TolkTest, EscUnloadsSavingTheNormalGeometryAndReopeningRestoresIt)
{
    {
        auto tolk = makeTolk();
        ASSERT_TRUE(tolk->load());
        tolk->show();
        tolk->setGeometry(QRect(40, 60, 420, 380));
        QApplication::processEvents();
        QSignalSpy unloaded(tolk.get(), &Tolk::unloaded);
        key(*tolk, Qt::Key_Escape);
        EXPECT_EQ(unloaded.count(), 1);
        EXPECT_FALSE(tolk->isVisible());
    }
    const QRect saved(QRect(40, 60, 420, 380));
    EXPECT_EQ(settings->readDouble("Kelmor3", "TTop", 0), 60 * 15);
    EXPECT_EQ(settings->readDouble("Kelmor3", "TWidth", 0), 420 * 15);
    {
        auto tolk = makeTolk();
        ASSERT_TRUE(tolk->load());
        EXPECT_EQ(tolk->geometry(), saved);
        // A maximised window keeps the stored normal geometry.
        tolk->showMaximized();
        QApplication::processEvents();
        tolk->close();
    }
    EXPECT_EQ(settings->readDouble("Kelmor3", "THeight", 0), 380 * 15);
}

TEST_F(TolkTest, FindWrapsAroundAndF3FindsTheNext)
{
    auto tolk = makeTolk(QStringLiteral("Г"));
    tolk->show();
    ASSERT_TRUE(tolk->load());
    const QString plain = tolk->view()->plainText();
    InterpretationView *view = tolk->view();

    // Caret after every "Ещё": the search wraps to the start.
    view->selectRange(int(plain.indexOf(u"Ещё")), 0);
    key(*tolk, Qt::Key_F3);
    SearchForm *form = tolk->searchForm();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    form->searchField()->setText(QStringLiteral("про г"));
    EXPECT_TRUE(form->FND());
    EXPECT_EQ(view->selectionStart(), plain.indexOf(u"Про Г"));
    EXPECT_EQ(view->selectionLength(), 5);

    // F3 while the window is open: the next occurrence after the selection, letter case
    // ignored, inside words too; then round again.
    form->searchField()->setText(QStringLiteral("г"));
    std::vector<int> found;
    for (int i = 0; i < 8; ++i) {
        key(*tolk, Qt::Key_F3);
        found.push_back(view->selectionStart());
    }
    std::vector<int> expected;
    for (qsizetype i = plain.indexOf(u'г', 0, Qt::CaseInsensitive); i >= 0;
         i = plain.indexOf(u'г', i + 1, Qt::CaseInsensitive))
        expected.push_back(int(i));
    ASSERT_GE(expected.size(), 4u);
    const auto first = std::find(expected.begin(), expected.end(), found[0]);
    ASSERT_NE(first, expected.end());
    for (std::size_t i = 1; i < found.size(); ++i) {
        const auto prev = std::find(expected.begin(), expected.end(), found[i - 1]);
        const auto next = prev + 1 == expected.end() ? expected.begin() : prev + 1;
        EXPECT_EQ(found[i], *next) << i;
    }
    EXPECT_TRUE(messages.empty());

    // Hidden markers can be found.
    form->searchField()->setText(QStringLiteral("<"));
    view->selectRange(0, 0);
    EXPECT_TRUE(form->FND());
    EXPECT_EQ(view->selectionStart(), plain.indexOf(u'<'));

    // Not found: the message, and the caret at the start.
    form->searchField()->setText(QStringLiteral("жираф"));
    EXPECT_FALSE(form->FND());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, "Результат поиска");
    EXPECT_EQ(messages[0].text, "Строка не найдена.");
    EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(view->selectionStart(), 0);
    EXPECT_EQ(view->selectionLength(), 0);
}

TEST_F(TolkTest, FindOpensWithTheSelectedText)
{
    auto tolk = makeTolk(QStringLiteral("Б"));
    tolk->show();
    ASSERT_TRUE(tolk->load());
    const int at = int(tolk->view()->plainText().indexOf(u"всё"));
    tolk->view()->selectRange(at, 3);
    tolk->ShowFind();
    ASSERT_NE(tolk->searchForm(), nullptr);
    EXPECT_EQ(tolk->searchForm()->searchField()->text(), "всё");
    EXPECT_EQ(tolk->searchForm()->searchField()->selectedText(), "всё");
    EXPECT_EQ(tolk->searchForm()->windowTitle(), "Поиск");
}

TEST_F(TolkTest, FindWithASelectionAcrossLineEndsFindsIt)
{
    auto tolk = makeTolk(QStringLiteral("Б"));
    tolk->show();
    ASSERT_TRUE(tolk->load());
    InterpretationView *view = tolk->view();
    const QString plain = view->plainText();
    // From the article's last word over its CR LF and the empty line to the link line.
    const int at = int(plain.indexOf(u"всё."));
    const int length = int(plain.indexOf(u'F', at)) + 1 - at;
    view->selectRange(at, length);
    ASSERT_TRUE(plain.mid(at, length).contains(u"\r\n\r\n"));
    tolk->ShowFind();
    SearchForm *form = tolk->searchForm();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->searchField()->text(), plain.mid(at, length));
    // F3 again: the only occurrence, found after the wrap-around.
    key(*tolk, Qt::Key_F3);
    EXPECT_TRUE(messages.empty()) << messages.front().text.toStdString();
    EXPECT_EQ(view->selectionStart(), at);
    EXPECT_EQ(view->selectionLength(), length);
}

TEST_F(TolkTest, CopyPutsRichTextHtmlAndPlainText)
{
    auto tolk = makeTolk(QStringLiteral("Б"));
    ASSERT_TRUE(tolk->load());
    const bool haveUnrtf = !QStandardPaths::findExecutable("unrtf").isEmpty();

    struct Copied
    {
        QStringList formats;
        QString plain;
        QTextDocument html;
        QString rtf; // as unrtf reads it
    };
    auto readBack = [&](Copied &copied) {
        const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
        ASSERT_NE(mime, nullptr);
        copied.formats = mime->formats();
        copied.plain = mime->text();
        copied.html.setHtml(mime->html());
        if (!haveUnrtf)
            return;
        QTemporaryDir tmp;
        QFile file(tmp.filePath("copy.rtf"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(mime->data("text/rtf"));
        file.close();
        QProcess unrtf;
        // Its HTML output writes Cyrillic as character references; read them back.
        unrtf.start("unrtf", {"--html", file.fileName()});
        ASSERT_TRUE(unrtf.waitForFinished(10000));
        QTextDocument html;
        html.setHtml(QString::fromUtf8(unrtf.readAllStandardOutput()));
        copied.rtf = html.toPlainText();
    };

    // The whole document, as it reads: no markers, no glyphs, one line end per line.
    key(*tolk, Qt::Key_C, Qt::ControlModifier);
    Copied whole;
    readBack(whole);
    for (const char *format : {"text/rtf", "text/html", "text/plain"})
        EXPECT_TRUE(whole.formats.contains(format)) << format;
    EXPECT_EQ(whole.plain, "Б\n\nСонник:\nПро Б – и всё.\n\nВ, А\n");
    EXPECT_EQ(whole.html.toPlainText(), whole.plain);
    // The HTML keeps the formatting: the heading word and the book's heading.
    QTextCursor word = whole.html.find("Б");
    EXPECT_TRUE(word.charFormat().fontUnderline());
    EXPECT_EQ(word.charFormat().foreground().color(), QColor(0x00, 0x00, 0x80));
    QTextCursor heading = whole.html.find("Сонник:");
    EXPECT_EQ(heading.charFormat().fontWeight(), QFont::Bold);
    EXPECT_TRUE(heading.charFormat().fontItalic());
    EXPECT_EQ(heading.charFormat().foreground().color(), QColor(0xFF, 0x00, 0x00));
    // Ordinary text has no colour of its own: the receiving program's text colour.
    EXPECT_EQ(whole.html.find("и всё").charFormat().foreground().style(), Qt::NoBrush);
    if (haveUnrtf) {
        EXPECT_TRUE(whole.rtf.contains("Про Б – и всё.")) << whole.rtf.toStdString();
        EXPECT_TRUE(whole.rtf.contains("Сонник:")) << whole.rtf.toStdString();
    }

    // A selection across a line end: that part only, in every format.
    const QString plain = tolk->view()->plainText();
    const int at = int(plain.indexOf(u"и всё"));
    const int to = int(plain.indexOf(u"В>"));
    tolk->view()->selectRange(at, to + 1 - at);
    tolk->copyToClipboard();
    Copied part;
    readBack(part);
    EXPECT_EQ(part.plain, "и всё.\n\nВ");
    EXPECT_EQ(part.html.toPlainText(), part.plain);
    if (haveUnrtf) {
        EXPECT_TRUE(part.rtf.contains("и всё")) << part.rtf.toStdString();
        EXPECT_FALSE(part.rtf.contains("Про Б")) << part.rtf.toStdString();
    }
}

TEST(CopyFormats, HtmlEscapesTheTextItKeeps)
{
    // An article may hold "&", "<" and quotes as plain characters (here without the formatting
    // pass, so nothing is a marker).
    const std::u16string text = u"a & b \"c\"  d\r\ne\tf";
    const QString html = writeHtml(text, {}, 0, int(text.size()));
    EXPECT_TRUE(html.contains("a &amp; b &quot;c&quot;  d<br>")) << html.toStdString();
    QTextDocument document;
    document.setHtml(html);
    EXPECT_EQ(document.toPlainText(), "a & b \"c\"  d\ne\tf");
    EXPECT_EQ(readableText(text, {}, 0, int(text.size())), "a & b \"c\"  d\ne\tf");
    // Ranges outside the text are cut to it.
    EXPECT_EQ(readableText(text, {}, 20, 5), "");
    EXPECT_EQ(readableText(text, {}, -3, 4), "a");
}

TEST(Fonts, WindowsFamiliesResolveToInstalledAndBundledFonts)
{
    installFonts();
    QFont symbol(kSymbolFontFamily);
    EXPECT_EQ(QFontInfo(symbol).family(), kBundledSymbolFamily);
    const QFontMetrics metrics(symbol);
    EXPECT_TRUE(metrics.inFont(u'&'));
    EXPECT_TRUE(metrics.inFont(u'F'));
    EXPECT_GT(metrics.horizontalAdvance(u'&'), 0);
    EXPECT_EQ(QFontInfo(QFont(kBaseFontFamily)).family(), "Liberation Sans");
}

TEST(Messages, BoxesWithoutACaptionCarryTheProgramsTitle)
{
    setMessageHandler({});
    const struct
    {
        QString caption;
        QString shown;
    } cases[] = {
        {QString(), QStringLiteral("Сонник ZEL Kelmor 3")},
        {QStringLiteral("TolkLoad"), QStringLiteral("TolkLoad")},
    };
    for (const auto &c : cases) {
        QString title;
        // The real box, read and closed from inside its own event loop.
        QTimer::singleShot(0, [&] {
            if (QWidget *box = QApplication::activeModalWidget()) {
                title = box->windowTitle();
                box->close();
            }
        });
        showMessage(nullptr, MessageIcon::Warning, c.caption, QStringLiteral("Текст"));
        EXPECT_EQ(title, c.shown);
    }
}
