// The journal's windows: the list and the entry shown, the entry dialog, delete and undo, the
// filters, a journal that cannot be opened, and the statistics charts.
#include "books/word_forms.h"
#include "journal/entry_dialog.h"
#include "journal/journal_model.h"
#include "journal/journal_window.h"
#include "journal/sqlite.h"
#include "journal/statistics_window.h"
#include "journal_fixture.h"
#include "viewer/messages.h"
#include "viewer/tolk.h"

#include <QAbstractBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace kelmor::journal;
using kelmor::journal::testing::fixtureEntry;

namespace {

class JournalWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kelmor::viewer::setMessageHandler([this](QWidget *, kelmor::viewer::MessageIcon,
                                                 const QString &,
                                                 const QString &text) { messages.append(text); });
    }
    void TearDown() override { kelmor::viewer::setMessageHandler({}); }

    QString path() const { return m_dir.filePath("journal.sqlite"); }

    void writeFixture()
    {
        auto store = JournalStore::open(path());
        std::vector<JournalEntry> entries{
            fixtureEntry(QDate(2024, 3, 1), {20}, {"Река"}, {"работа"}, Outcome::CameTrue),
            fixtureEntry(QDate(2024, 4, 2), {23, 24}, {"Змея", "Река"}, {},
                         Outcome::DidNotComeTrue),
            fixtureEntry(QDate(2024, 4, 9), {1}, {"Змея"}, {"море"}),
        };
        for (JournalEntry &e : entries)
            ids.push_back(store->save(e));
    }

    std::unique_ptr<JournalWindow> makeWindow()
    {
        JournalWindow::Context context;
        context.path = path();
        context.place = [] { return kelmor::calendar::Location{}; };
        context.resolver = [this] { return resolver; };
        context.confirm = [this](QWidget *, const QString &question) {
            questions.append(question);
            return answer;
        };
        context.runDialog = [this](QDialog &dialog) {
            return fillDialog ? fillDialog(static_cast<EntryDialog &>(dialog)) : false;
        };
        auto window = std::make_unique<JournalWindow>(context);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->show();
        return window;
    }

    QTemporaryDir m_dir;
    std::vector<std::int64_t> ids;
    QStringList questions;
    QStringList messages;
    bool answer = true;
    std::function<bool(EntryDialog &)> fillDialog;
    std::shared_ptr<const kelmor::books::FormResolver> resolver =
        std::make_shared<const kelmor::books::FormResolver>(
            QStringList{QStringLiteral("Змея"), QStringLiteral("Река")},
            kelmor::books::WordForms::systemDictionary());
};

TEST_F(JournalWindowTest, TheListShowsTheNewestFirstAndTheEntryWithItsMeaningsAndSymbolLinks)
{
    writeFixture();
    auto window = makeWindow();
    EXPECT_TRUE(window->problem().isEmpty());
    ASSERT_EQ(window->model()->rowCount(), 3);
    EXPECT_EQ(window->model()->summary(0).id, ids[2]);
    EXPECT_EQ(window->model()->data(window->model()->index(1, JournalListModel::LunarDaysColumn),
                                    Qt::DisplayRole),
              "23, 24");
    EXPECT_EQ(window->statusText(), "Записей: 3");
    // The newest is selected and shown.
    EXPECT_EQ(window->selectedId(), ids[2]);
    const QString shown = window->view()->plainText();
    EXPECT_TRUE(shown.startsWith(" Сон 2024-04-09\r\n")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("Лунный день:\r\n1-й лунный день — 100 % ночи ("));
    EXPECT_TRUE(shown.contains("Значение дня 1\r\nДень недели: Вторник\r\n"));
    EXPECT_TRUE(shown.contains("Символы сна: Змея\r\nМетки: море\r\n"));

    // A click on a symbol asks for its interpretation.
    window->selectId(ids[1]);
    const EntryDocument &doc = window->document();
    ASSERT_EQ(doc.links.size(), 2u);
    EXPECT_EQ(doc.links[1].headword, "Река");
    QSignalSpy asked(window.get(), &JournalWindow::wordRequested);
    auto *view = window->view();
    QTextCursor c(view->document());
    c.setPosition(doc.links[1].start + 1);
    const QPoint p = view->cursorRect(c).center();
    QMouseEvent release(QEvent::MouseButtonRelease, p, view->viewport()->mapToGlobal(p),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &release);
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked.at(0).at(0).toString(), "Река");
}

TEST_F(JournalWindowTest, ANewEntryGetsTheLunarDaysOfItsNightAndTheSymbolsOfItsText)
{
    auto window = makeWindow();
    ASSERT_EQ(window->model()->rowCount(), 0);
    fillDialog = [](EntryDialog &dialog) {
        dialog.findChild<QLineEdit *>("EntryTitle")->setText(QStringLiteral("Змеи у реки"));
        auto *from = dialog.findChild<QDateTimeEdit *>("EntryFellAsleep");
        auto *to = dialog.findChild<QDateTimeEdit *>("EntryWokeUp");
        from->setDateTime(QDateTime(QDate(2024, 4, 8), QTime(23, 0), Qt::UTC));
        to->setDateTime(QDateTime(QDate(2024, 4, 9), QTime(7, 0), Qt::UTC));
        dialog.updatePreview();
        // The preview shows both lunar days of the night before it is saved.
        EXPECT_TRUE(dialog.previewText().contains("1-й лунный день — "))
            << dialog.previewText().toStdString();
        EXPECT_TRUE(dialog.previewText().contains("2-й лунный день — "));
        EXPECT_TRUE(dialog.previewText().contains("Утро: Вторник, 9-е число"));
        dialog.findChild<QPlainTextEdit *>("EntryText")
            ->setPlainText(QStringLiteral("Змеи плыли по реке."));
        dialog.findChild<QLineEdit *>("EntryTags")->setText(QStringLiteral("вода, вода, страх"));
        dialog.findChild<QComboBox *>("EntryMood")->setCurrentIndex(2);
        return dialog.collect();
    };
    window->newEntry();
    ASSERT_EQ(window->model()->rowCount(), 1)
        << window->problem().toStdString() << messages.join('|').toStdString();
    const std::optional<JournalEntry> e = window->store()->entry(window->model()->summary(0).id);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->title, "Змеи у реки");
    EXPECT_EQ(e->symbols, (QStringList{"Змея", "Река"}));
    EXPECT_EQ(e->tags, (QStringList{"вода", "страх"}));
    EXPECT_EQ(e->mood, 2);
    ASSERT_EQ(e->lunarDays.size(), 2u);
    EXPECT_EQ(e->lunarDays[0].number, 1);
    EXPECT_EQ(e->morning, QDate(2024, 4, 9));

    // An edit of the text alone keeps the stored meanings; the symbols follow the text.
    JournalEntry stored = *e;
    stored.lunarDays[0].meaning = QStringLiteral("как было записано");
    window->store()->save(stored);
    fillDialog = [](EntryDialog &dialog) {
        dialog.findChild<QPlainTextEdit *>("EntryText")
            ->setPlainText(QStringLiteral("Только река."));
        return dialog.collect();
    };
    window->editSelected();
    const std::optional<JournalEntry> edited = window->store()->entry(e->id);
    EXPECT_EQ(edited->symbols, QStringList{"Река"});
    EXPECT_EQ(edited->lunarDays[0].meaning, "как было записано");

    // A night that ends before it began is refused in the dialog.
    fillDialog = [](EntryDialog &dialog) {
        dialog.findChild<QDateTimeEdit *>("EntryWokeUp")
            ->setDateTime(QDateTime(QDate(2024, 4, 8), QTime(22, 0), Qt::UTC));
        EXPECT_FALSE(dialog.collect());
        EXPECT_EQ(dialog.findChild<QLabel *>("EntryError")->text(),
                  "Время пробуждения должно быть позже времени засыпания.");
        return false;
    };
    window->editSelected();
}

TEST_F(JournalWindowTest, DeleteAsksFirstAndTheLastDeleteCanBeUndone)
{
    writeFixture();
    auto window = makeWindow();
    window->selectId(ids[1]);
    answer = false;
    window->deleteSelected();
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].startsWith("Удалить запись «Сон 2024-04-02»?"));
    EXPECT_EQ(window->model()->rowCount(), 3);

    answer = true;
    QTest::keyClick(window->list(), Qt::Key_Delete);
    EXPECT_EQ(window->model()->rowCount(), 2);
    EXPECT_FALSE(window->store()->entry(ids[1]));
    EXPECT_TRUE(window->canUndoDelete());
    // The next row takes the selection.
    EXPECT_EQ(window->selectedId(), ids[0]);
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(window->model()->rowCount(), 3);
    EXPECT_EQ(window->selectedId(), ids[1]);
    EXPECT_EQ(window->store()->entry(ids[1])->symbols, (QStringList{"Змея", "Река"}));
    EXPECT_FALSE(window->canUndoDelete());
}

TEST_F(JournalWindowTest, SearchAndFiltersNarrowTheList)
{
    writeFixture();
    auto window = makeWindow();
    window->findChild<QLineEdit *>("JournalSearch")->setText(QStringLiteral("змея"));
    window->refresh();
    EXPECT_EQ(window->model()->rowCount(), 2);
    EXPECT_EQ(window->statusText(), "Найдено записей: 2 из 3");
    window->findChild<QComboBox *>("JournalLunarDay")->setCurrentIndex(24);
    EXPECT_EQ(window->model()->rowCount(), 1);
    EXPECT_EQ(window->model()->summary(0).id, ids[1]);
    auto *outcome = window->findChild<QComboBox *>("JournalOutcome");
    outcome->setCurrentIndex(outcome->findText("сбылся"));
    EXPECT_EQ(window->model()->rowCount(), 0);
    EXPECT_TRUE(window->view()->plainText().isEmpty());
}

TEST_F(JournalWindowTest, AJournalThatCannotBeOpenedIsSaidSoAndACopyOpensReadOnly)
{
    writeFixture();
    {
        kelmor::journal::sqlite::Connection db(
            path(), kelmor::journal::sqlite::Connection::Mode::ReadWrite);
        db.exec("PRAGMA user_version = 5");
    }
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();

    auto window = makeWindow();
    EXPECT_TRUE(window->problem().contains("записан более новой версией программы"));
    auto *copy = window->findChild<QPushButton *>("OpenCopy");
    ASSERT_TRUE(copy);
    EXPECT_TRUE(copy->isVisible());
    EXPECT_EQ(window->model()->rowCount(), 0);
    copy->click();
    EXPECT_EQ(window->model()->rowCount(), 3);
    EXPECT_TRUE(window->problem().contains("только для чтения"));
    EXPECT_FALSE(copy->isVisible());
    EXPECT_FALSE(window->findChild<QToolButton *>("NewEntry")->isEnabled());
    EXPECT_FALSE(window->findChild<QToolButton *>("DeleteEntry")->isEnabled());
    window->deleteSelected();
    EXPECT_TRUE(questions.isEmpty());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST_F(JournalWindowTest, DamageFoundByTheCheckBesideClosesTheJournalUntouched)
{
    {
        auto store = JournalStore::open(path());
        for (int i = 0; i < 200; ++i) {
            JournalEntry e = fixtureEntry(QDate(2024, 1, 1).addDays(i), {i % 30 + 1}, {"Река"});
            e.text = QString(400, u'ж');
            store->save(e);
        }
    }
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    QByteArray bytes = f.readAll();
    ASSERT_GT(bytes.size(), 40000);
    for (int i = 20000; i < 28000; ++i)
        bytes[i] = char(0xA5);
    f.seek(0);
    f.write(bytes);
    f.close();

    auto window = makeWindow();
    // Opened at once or refused at once, the check beside finds the damage soon after.
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->problem().contains("повреждён"); }, 10000))
        << window->problem().toStdString();
    EXPECT_FALSE(window->store());
    EXPECT_EQ(window->model()->rowCount(), 0);
    EXPECT_TRUE(window->findChild<QPushButton *>("OpenCopy")->isVisibleTo(window.get()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), bytes);
}

TEST_F(JournalWindowTest, StatisticsDrawTheirChartsWithTheNumbersBeside)
{
    writeFixture();
    auto window = makeWindow();
    window->showStatistics();
    StatisticsWindow *stats = window->statisticsWindow();
    ASSERT_TRUE(stats);
    EXPECT_TRUE(stats->isVisible());
    EXPECT_TRUE(stats->summaryText().startsWith(
        "Записей в дневнике: 3. Исход известен у 2, из них сбылись 1."));
    const auto barsOf = [&](int tab) {
        QList<qreal> values;
        const QList<QAbstractSeries *> series = stats->chartView(tab)->chart()->series();
        EXPECT_EQ(series.size(), 1);
        for (QBarSet *set : static_cast<QAbstractBarSeries *>(series[0])->barSets())
            for (int i = 0; i < set->count(); ++i)
                values.append(set->at(i));
        return values;
    };
    // Symbols: Змея 2, Река 2 (the most frequent drawn on top: last in the set).
    EXPECT_EQ(barsOf(0), (QList<qreal>{2, 2}));
    QTreeWidget *symbols = stats->numbers(0);
    ASSERT_EQ(symbols->topLevelItemCount(), 2);
    EXPECT_EQ(symbols->topLevelItem(0)->text(0), "Змея");
    EXPECT_EQ(symbols->topLevelItem(0)->text(1), "2");
    // Lunar days 1..30; the second entry counts for day 23 (equal shares: the earlier).
    const QList<qreal> lunar = barsOf(2);
    ASSERT_EQ(lunar.size(), 30);
    EXPECT_EQ(lunar[0], 1);
    EXPECT_EQ(lunar[19], 1);
    EXPECT_EQ(lunar[22], 1);
    EXPECT_EQ(lunar[23], 0);
    // Came true among the known: day 20 100 %, day 23 0 %.
    EXPECT_EQ(barsOf(4), (QList<qreal>{100, 0}));
    QTreeWidget *cameTrue = stats->numbers(4);
    ASSERT_EQ(cameTrue->topLevelItemCount(), 2);
    EXPECT_EQ(cameTrue->headerItem()->text(1), "Известно");
    EXPECT_EQ(cameTrue->topLevelItem(0)->text(0), "20");
    EXPECT_EQ(cameTrue->topLevelItem(0)->text(3), "100");
    // They follow a change of the journal.
    window->selectId(ids[0]);
    window->deleteSelected();
    EXPECT_TRUE(stats->summaryText().startsWith("Записей в дневнике: 2."));
}

} // namespace
