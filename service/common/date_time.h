// Calendar date and time of day in local time, without a zone, and the few
// calendar operations the service needs. Plain value type; thread-compatible.
#pragma once

#include <string>

namespace velunor {

struct DateTime {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;

  friend auto operator<=>(const DateTime&, const DateTime&) = default;
};

// Days since 1970-01-01 of the date part (proleptic Gregorian calendar).
long DaysFromCivil(int year, int month, int day);
// 0 = Sunday .. 6 = Saturday, whatever the locale.
int DayOfWeek(const DateTime& t);
int DaysInMonth(int year, int month);
bool IsLeapYear(int year);
// The date moved by whole days; the time of day stays.
DateTime AddDays(const DateTime& t, long days);
// The moment moved by whole seconds, on the calendar (a change to or from
// summer time is not counted).
DateTime AddSeconds(const DateTime& t, long long seconds);
// True when the fields name a real calendar date and time of day.
bool IsValid(const DateTime& t);

// Zero-padded decimal, at least `width` digits.
std::string Pad(long value, int width);

}  // namespace velunor
