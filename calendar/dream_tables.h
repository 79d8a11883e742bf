#pragma once

#include <string_view>

// The fixed dream-significance texts of the moon calendar (UTF-8). Each lookup returns the
// empty text for an argument outside its range.
namespace kelmor::calendar {

// Weekday name; Monday = 1 … Sunday = 7.
std::string_view WeekDayStr(int weekDay);
// What a dream of that weekday means; Monday = 1 … Sunday = 7.
std::string_view DreamByWeekDay(int weekDay);
// What a dream of that day of the month means; 1..31.
std::string_view DreamByDay(int day);
// What a dream of that lunar day means; 1..31.
std::string_view DreamByMoon(int lunarDay);

} // namespace kelmor::calendar
