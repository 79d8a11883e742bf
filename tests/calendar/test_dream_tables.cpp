#include "calendar/dream_tables.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

using namespace kelmor::calendar;

namespace {

// Number of Unicode characters in a UTF-8 text (a byte that is not a continuation byte).
int characters(std::string_view text)
{
    int n = 0;
    for (unsigned char c : text)
        n += (c & 0xC0) != 0x80;
    return n;
}

struct Table
{
    const char *name;
    std::string_view (*lookup)(int);
    // Character count of every entry, 1 first: a lost or doubled space, a dropped word or a
    // shifted row changes one of them.
    std::vector<int> lengths;
};

const Table kTables[] = {
    {"WeekDayStr", WeekDayStr, {11, 7, 5, 7, 7, 7, 11}},
    {"DreamByWeekDay", DreamByWeekDay, {87, 110, 10, 56, 10, 20, 60}},
    {"DreamByDay", DreamByDay, {35, 22, 24, 31, 20, 39, 75, 26, 59, 40, 19, 41, 38, 42, 30, 22,
                                25, 22, 25, 57, 34, 30, 48, 66, 40, 29, 38, 46, 11, 18, 44}},
    {"DreamByMoon", DreamByMoon, {62, 14, 17, 62,  45, 59, 30, 80, 14, 83, 44, 30, 78, 65, 62, 86,
                                  16, 66, 27, 116, 19, 46, 38, 41, 32, 14, 24, 23, 36, 43, 38}},
};

} // namespace

TEST(DreamTables, EveryEntryHasItsLengthAndNothingOutsideTheRange)
{
    for (const Table &t : kTables) {
        const int size = int(t.lengths.size());
        for (int i = 1; i <= size; ++i) {
            EXPECT_EQ(characters(t.lookup(i)), t.lengths[i - 1]) << t.name << "(" << i << ")";
            EXPECT_NE(t.lookup(i).back(), ' ') << t.name << "(" << i << ")";
        }
        for (int outside : {0, -1, -32768, size + 1, 32767})
            EXPECT_TRUE(t.lookup(outside).empty()) << t.name << "(" << outside << ")";
    }
}

TEST(DreamTables, TextsAsWritten)
{
    struct Case
    {
        std::string_view actual, expected;
    } cases[] = {
        {WeekDayStr(1), "Понедельник"},
        {WeekDayStr(7), "Воскресенье"},
        {DreamByWeekDay(1),
         "Сон, который приснился в понедельник, исполнится лишь для тех, кто родился в этот "
         "день."},
        {DreamByWeekDay(3), "Вещий сон."},
        {DreamByWeekDay(7), "Сны сбываются до обеда. Или сбываются, если не рассказывать."},
        {DreamByDay(1), "Сны ведут к семейным неприятностям."},
        {DreamByDay(24), "Сны сбываются в течение 11  дней, предвосхищают радостные события."},
        {DreamByDay(31), "Сны рассказывают о прибылях и приобретениях."},
        {DreamByMoon(1), "Сон в этот день исполняется в точности и предзнаменует доброе."},
        {DreamByMoon(6), " Сны сбываются. Держите в тайне увиденное для своего блага."},
        {DreamByMoon(11), " Сны сбываются. Возможно прямое трактование."},
        {DreamByMoon(24), "Сны сбывающиеся, в основном благопрятные."},
        {DreamByMoon(30), " Сбываются только хорошо запомнившиеся сны."},
        {DreamByMoon(31), "Сны о любовных победах и наслаждениях."},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.actual, c.expected);
}

TEST(DreamTables, SharedTextsAndLeadingSpaces)
{
    EXPECT_EQ(DreamByWeekDay(3), DreamByWeekDay(5));
    EXPECT_EQ(DreamByDay(17), DreamByDay(19));
    EXPECT_EQ(DreamByMoon(2), DreamByMoon(9));
    EXPECT_EQ(DreamByMoon(2), DreamByMoon(26));
    EXPECT_EQ(DreamByMoon(31), DreamByDay(13));

    // Exactly lunar days 6, 11 and 30 begin with a space; no other text does.
    for (int day = 1; day <= 31; ++day) {
        const bool space = day == 6 || day == 11 || day == 30;
        EXPECT_EQ(DreamByMoon(day).front() == ' ', space) << "DreamByMoon(" << day << ")";
        EXPECT_NE(DreamByDay(day).front(), ' ') << "DreamByDay(" << day << ")";
    }
    // The only double space of all the texts is in day 24 of the month.
    for (int day = 1; day <= 31; ++day) {
        EXPECT_EQ(DreamByDay(day).find("  ") != std::string_view::npos, day == 24) << day;
        EXPECT_EQ(DreamByMoon(day).find("  "), std::string_view::npos) << day;
    }
}
