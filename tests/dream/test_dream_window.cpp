// The "Весь сон" window: the report after a pause in typing, links to the sections, copy.
#include "books/word_forms.h"
#include "dream/dream_window.h"
#include "viewer/book_fakes.h"
#include "viewer/tolk.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using kelmor::dream::DreamReport;
using kelmor::dream::DreamWindow;
using kelmor::viewer::testing::fakeBook;

class DreamWindowTest : public ::testing::Test
{
protected:
    std::unique_ptr<DreamWindow> makeWindow()
    {
        DreamWindow::Context context;
        context.books = [this] { return books; };
        context.resolver = [this] { return resolver; };
        context.place = [] { return kelmor::calendar::Location{}; };
        auto window = std::make_unique<DreamWindow>(context);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->setMoment(QDateTime(QDate(2024, 4, 9), QTime(7, 30)));
        window->resize(640, 600);
        window->show();
        return window;
    }

    static bool waitForReport(DreamWindow &window, const QString &containing)
    {
        return QTest::qWaitFor(
            [&] { return QString::fromStdU16String(window.report().text).contains(containing); },
            10000);
    }

    static void clickAt(DreamWindow &window, int position)
    {
        auto *view = window.view();
        QTextCursor c(view->document());
        c.setPosition(position);
        const QRect left = view->cursorRect(c);
        c.setPosition(position + 1);
        const QPoint p((left.left() + view->cursorRect(c).left()) / 2, left.center().y());
        QWidget *vp = view->viewport();
        QMouseEvent move(QEvent::MouseMove, p, vp->mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(vp, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, p, vp->mapToGlobal(p), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(vp, &release);
    }

    std::vector<kelmor::viewer::InterpretationBook> books{
        fakeBook(u"Сонник", 0x0000FF,
                 {{u"Змея", u"Змея – к мудрости.", u"Огонь."},
                  {u"Река", u"Река – к дороге.\r\nДлинная строка.\r\nЕщё строка.", {}}}),
    };
    std::shared_ptr<const kelmor::books::FormResolver> resolver =
        std::make_shared<const kelmor::books::FormResolver>(
            QStringList{QStringLiteral("Змея"), QStringLiteral("Река")},
            kelmor::books::WordForms::systemDictionary());
};

TEST_F(DreamWindowTest, ReportFollowsAPauseInTypingAndItsLinksLeadToTheSections)
{
    ASSERT_TRUE(resolver->forms()->isAvailable());
    auto window = makeWindow();
    QSignalSpy shown(window.get(), &DreamWindow::reportShown);
    auto *text = window->findChild<QPlainTextEdit *>("DreamText");
    ASSERT_TRUE(text);
    text->setFocus();
    QTest::sendKeyEvent(QTest::Click, text, Qt::Key_unknown, QStringLiteral("Змеи у реки"),
                        Qt::NoModifier);
    // Nothing is read while the user types; the index is built off the window's thread first.
    EXPECT_TRUE(window->report().text.empty());
    ASSERT_TRUE(waitForReport(*window, QStringLiteral("Символы сна: Змея, Река")));
    EXPECT_EQ(shown.count(), 1);
    EXPECT_EQ(window->statusText(), "Символов сна: 2");
    EXPECT_EQ(window->view()->plainText(), QString::fromStdU16String(window->report().text));
    EXPECT_TRUE(window->view()->plainText().contains(
        "День недели: Вторник\r\nСон, приснившийся вам в этот день"));

    // The mark "реки" leads to the section of Река.
    const DreamReport &report = window->report();
    const int mark = int(window->view()->plainText().indexOf("реки"));
    clickAt(*window, mark + 1);
    EXPECT_EQ(window->view()->textCursor().position(), report.sectionStarts[1]);
    EXPECT_EQ(window->view()->viewport()->toolTip(), "Перейти к «Река»");
    // A cross-reference with no section here is asked for.
    QSignalSpy asked(window.get(), &DreamWindow::wordRequested);
    clickAt(*window, int(window->view()->plainText().indexOf("<Огонь>")) + 2);
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked.at(0).at(0).toString(), "Огонь");

    // Ctrl+C copies the report as rich text, HTML and plain text, like the viewer, so it pastes
    // into any program.
    QApplication::clipboard()->clear();
    QTest::keyClick(window->view(), Qt::Key_C, Qt::ControlModifier);
    const QMimeData *mime = QApplication::clipboard()->mimeData();
    ASSERT_TRUE(mime);
    EXPECT_TRUE(mime->hasFormat("text/rtf"));
    EXPECT_TRUE(mime->hasHtml());
    EXPECT_TRUE(mime->text().contains(QStringLiteral("Огонь"))) << mime->text().toStdString();
}

TEST_F(DreamWindowTest, NoSymbolSaysSoAndCtrlEnterReadsAtOnce)
{
    auto window = makeWindow();
    resolver->prepare();
    window->setDreamText(QStringLiteral("Ничего не снилось."));
    auto *text = window->findChild<QPlainTextEdit *>("DreamText");
    QTest::keyClick(text, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(window->statusText(),
              "В тексте не найдено ни одного символа из включённых сонников.");
    EXPECT_TRUE(window->view()->plainText().contains("Символы сна: не найдены"));
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

} // namespace
