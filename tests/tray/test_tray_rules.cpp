// The tray popup's rules apart from its widget: the obscene-word filter, the inline completion,
// Enter, the idle counter, the placement, and the exit question's decision and settings.
#include "platform/settings.h"
#include "tray/exit_question.h"
#include "tray/idle_counter.h"
#include "tray/obscene_words.h"
#include "tray/popup_placement.h"
#include "tray/quick_search.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include <stdexcept>

using namespace kelmor::tray;
using kelmor::platform::SettingsSection;
using kelmor::platform::SettingsStore;

namespace {

QString u(const char *text)
{
    return QString::fromUtf8(text);
}

} // namespace

TEST(IsMat, EachPatternInAnyCaseAndPlace)
{
    struct Case
    {
        const char *word;
        bool obscene;
    };
    const Case cases[] = {
        // Every pattern, inside a longer text, at its start and its end.
        {"заёбка", true},
        {"ебло", true},
        {"ебать", true},
        {"аебу", true},
        {"бля", true},
        {"сукин сука", true},
        {"педирас", true},
        {"педарас", true},
        {"пидарас", true},
        {"нахуевертить", true},
        {"пизда", true},
        {"хуй", true},
        // Letter case does not matter, and neither do surrounding spaces.
        {"СУКА", true},
        {"ХуЙ", true},
        {"  Бля  ", true},
        {"ЁБ", true},
        // "е" where a pattern has "ё" is another letter: "еб" alone is in no pattern.
        {"еб", false},
        {"заебка", false},
        // Ordinary words, and near misses of the patterns.
        {"Вода", false},
        {"Небо", false},
        {"Лебедь", false},
        {"сук", false},
        {"пидор", false},
        {"ху е", false},
        {"", false},
        {"   ", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(IsMat(u(c.word)), c.obscene);
    }
    EXPECT_EQ(obscenePatterns().size(), 12);
}

TEST(IsMat, WildcardMatchesRunsAndOnlyStarIsSpecial)
{
    struct Case
    {
        const char *text;
        const char *pattern;
        bool matches;
    };
    const Case cases[] = {
        {"", "*", true},
        {"abc", "*", true},
        {"abc", "abc", true},
        {"abc", "ab", false},
        {"abc", "*c", true},
        {"abc", "a*", true},
        {"abc", "*b*", true},
        {"ab", "a*b*c", false},
        // Backtracking: the first "b" is not the one the pattern needs.
        {"abxbc", "*b*bc", true},
        {"aaab", "*aab", true},
        // "?", "#" and "[" match themselves only.
        {"a?c", "a?c", true},
        {"abc", "a?c", false},
        {"a1c", "a#c", false},
        {"[a]", "[a]", true},
        {"a", "[a]", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " ~ " + c.pattern);
        EXPECT_EQ(matchesWildcard(u(c.text), u(c.pattern)), c.matches);
    }
}

TEST(InlineCompletion, CompletesAtTheEndOnlyAndKeepsTheTypedCase)
{
    struct Case
    {
        const char *text;
        int cursor;
        int selectionStart, selectionLength;
        const char *selected;
        // Expected: text, then the selection; nullptr when nothing changes.
        const char *completed;
        int completedSelectionStart, completedSelectionLength;
    };
    const Case cases[] = {
        {"в", 1, 0, 0, "Вода", "вода", 1, 3},
        {"вод", 3, 0, 0, "Вода", "вода", 3, 1},
        // Another letter case: the typed part stays as typed.
        {"ВоД", 3, 0, 0, "Водопад", "ВоДопад", 3, 4},
        // The whole word is there already, or the list's word does not begin with the text.
        {"вода", 4, 0, 0, "Вода", nullptr, 0, 0},
        {"вода", 4, 0, 0, "Вод", nullptr, 0, 0},
        {"вох", 3, 0, 0, "Вода", nullptr, 0, 0},
        // "е" and "ё" are different letters.
        {"ел", 2, 0, 0, "Ёлка", nullptr, 0, 0},
        {"ёл", 2, 0, 0, "Ёлка", "ёлка", 2, 2},
        // The caret inside the text or a selection: completing would write into the middle.
        {"вод", 1, 0, 0, "Вода", nullptr, 0, 0},
        {"вода", 4, 3, 1, "Вода", nullptr, 0, 0},
        {"", 0, 0, 0, "Вода", nullptr, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.selected);
        const FieldState field{u(c.text), c.cursor, c.selectionStart, c.selectionLength};
        const std::optional<FieldState> result = completeInline(field, u(c.selected));
        if (!c.completed) {
            EXPECT_FALSE(result.has_value());
            continue;
        }
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(result->text, u(c.completed));
        EXPECT_EQ(result->selectionStart, c.completedSelectionStart);
        EXPECT_EQ(result->selectionLength, c.completedSelectionLength);
        EXPECT_EQ(result->cursor, result->text.size());
    }
}

TEST(InlineCompletion, DeletingKeysNeverComplete)
{
    for (int key : {int(Qt::Key_Escape), int(Qt::Key_Delete), int(Qt::Key_Backspace)})
        EXPECT_FALSE(completesOnKeyRelease(key)) << key;
    for (int key : {int(Qt::Key_A), int(Qt::Key_unknown), int(Qt::Key_Right), int(Qt::Key_End),
                    int(Qt::Key_Shift), int(Qt::Key_Space)})
        EXPECT_TRUE(completesOnKeyRelease(key)) << key;
}

TEST(InlineCompletion, EnterOpensTheListWordOrSaysWhyNot)
{
    struct Case
    {
        const char *field;
        std::optional<const char *> selected;
        EnterAction action;
    };
    const Case cases[] = {
        {"", "Вода", EnterAction::Nothing},
        {"   ", "Вода", EnterAction::Nothing},
        {"Вода", "Вода", EnterAction::OpenViewer},
        {"вОДА", "Вода", EnterAction::OpenViewer},
        {"вод", "Вода", EnterAction::NotFoundMessage},
        {"вода ", "Вода", EnterAction::NotFoundMessage},
        {"ёлка", "Елка", EnterAction::NotFoundMessage},
        {"Вода", std::nullopt, EnterAction::NotFoundMessage},
        {"Сука", "Сугроб", EnterAction::ObsceneMessage},
        // A word of the list is found even when it would match a pattern.
        {"ребус", "Ребус", EnterAction::OpenViewer},
        {"ребус", "Река", EnterAction::ObsceneMessage},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.field);
        const std::optional<QString> selected =
            c.selected ? std::optional(u(*c.selected)) : std::nullopt;
        EXPECT_EQ(enterAction(u(c.field), selected), c.action);
    }
}

TEST(IdleCounter, ClosesOnTheHundredthIdleTickAndRestartsOnActivity)
{
    IdleCounter idle;
    for (int i = 1; i < IdleCounter::Limit; ++i)
        ASSERT_FALSE(idle.tick(true, false)) << i;
    EXPECT_TRUE(idle.tick(true, false));

    // The mouse over the popup, or text in the field, starts the count again.
    for (const auto &[blank, inside] : {std::pair{true, true}, std::pair{false, false}}) {
        IdleCounter busy;
        for (int i = 0; i < 90; ++i)
            busy.tick(true, false);
        busy.tick(blank, inside);
        EXPECT_EQ(busy.count(), 1);
        for (int i = 0; i < 150; ++i)
            ASSERT_FALSE(busy.tick(blank, inside));
    }

    // Activation and keys reset it as well.
    IdleCounter reset;
    for (int i = 0; i < 99; ++i)
        reset.tick(true, false);
    reset.reset();
    EXPECT_FALSE(reset.tick(true, false));
}

TEST(IdleCounter, PopupRectangleCountsItsBorders)
{
    const QRect popup(100, 200, 150, 150); // right = 250 and bottom = 350 belong to it
    struct Case
    {
        QPoint point;
        bool inside;
    };
    const Case cases[] = {
        {{100, 200}, true},  {{250, 350}, true},  {{175, 275}, true},  {{99, 275}, false},
        {{251, 275}, false}, {{175, 199}, false}, {{175, 351}, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(containsWithBorders(popup, c.point), c.inside)
            << c.point.x() << "," << c.point.y();
}

TEST(PopupPlacement, BottomRightAtTheMouseAndOnTheScreen)
{
    const QSize size(153, 150);
    const QRect screen(0, 0, 1600, 1000);
    const QRect available(0, 28, 1600, 972); // a panel at the top
    struct Case
    {
        const char *what;
        std::optional<QPoint> mouse;
        QRect expected;
    };
    const Case cases[] = {
        {"tray at the bottom right", QPoint(1500, 990), QRect(1347, 840, 153, 150)},
        {"tray at the top: below the mouse", QPoint(1500, 14), QRect(1347, 14, 153, 150)},
        {"tray at the left: right of the mouse", QPoint(20, 600), QRect(20, 450, 153, 150)},
        {"top-left corner", QPoint(5, 5), QRect(5, 5, 153, 150)},
        {"the very corner of the screen", QPoint(1599, 999), QRect(1446, 849, 153, 150)},
        {"no mouse position: the available area's corner", std::nullopt,
         QRect(1447, 850, 153, 150)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(popupGeometry(size, c.mouse, screen, available), c.expected);
    }
    // A second screen to the right of the first.
    EXPECT_EQ(popupGeometry(size, QPoint(1610, 500), QRect(1600, 0, 1280, 1024),
                            QRect(1600, 0, 1280, 1024)),
              QRect(1610, 350, 153, 150));
}

TEST(ExitQuestion, AskedOnlyWhileAutorunIsOnAndNotDeclined)
{
    EXPECT_TRUE(exitAsksQuestion(true, 0));
    EXPECT_TRUE(exitAsksQuestion(true, 2));
    EXPECT_FALSE(exitAsksQuestion(true, 1));
    EXPECT_FALSE(exitAsksQuestion(false, 0));
    EXPECT_FALSE(exitAsksQuestion(false, 1));

    QTemporaryDir dir;
    SettingsStore store = SettingsStore::atFile(dir.filePath(QStringLiteral("s.conf")));
    EXPECT_EQ(storedUnloadQ(store), 0);
    store.write(SettingsSection, QStringLiteral("UnloadQ"), QStringLiteral("1"));
    EXPECT_EQ(storedUnloadQ(store), 1);
    store.write(SettingsSection, QStringLiteral("UnloadQ"), QStringLiteral("ja"));
    EXPECT_EQ(storedUnloadQ(store), 0);
}

TEST(ExitQuestion, ChoiceWritesTheSettings)
{
    struct Case
    {
        ExitChoice choice;
        bool throws;
        const char *toTray;  // what ToTray holds afterwards (it was "True")
        const char *unloadQ; // what UnloadQ holds
        int autorunOffCalls;
    };
    const Case cases[] = {
        {{false, false}, false, "True", "0", 0},
        {{false, true}, false, "True", "1", 0},
        {{true, false}, false, "False", "0", 1},
        {{true, true}, false, "False", "1", 1},
        // A failing autorun entry changes nothing else.
        {{true, false}, true, "False", "0", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.choice.disableAutorun << c.choice.dontAskAgain << c.throws);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("s.conf"));
        {
            SettingsStore store = SettingsStore::atFile(file);
            store.write(SettingsSection, QStringLiteral("ToTray"), QStringLiteral("True"));
            int offCalls = 0;
            applyExitChoice(store, c.choice, [&](bool enable) {
                EXPECT_FALSE(enable);
                ++offCalls;
                if (c.throws)
                    throw std::runtime_error("registry");
            });
            EXPECT_EQ(offCalls, c.autorunOffCalls);
            ASSERT_TRUE(store.sync());
        }
        QSettings raw(file, QSettings::IniFormat);
        EXPECT_EQ(raw.value(QStringLiteral("Kelmor3/ToTray")).toString(), u(c.toTray));
        EXPECT_EQ(raw.value(QStringLiteral("Kelmor3/UnloadQ")).toString(), u(c.unloadQ));
    }
}
