#include "service/common/date_time.h"

namespace velunor {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

long DaysFromCivil(int year, int month, int day) {
  // Howard Hinnant's algorithm: exact for every Gregorian date.
  year -= month <= 2;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const long yoe = year - era * 400;
  const long doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

static void CivilFromDays(long z, int* year, int* month, int* day) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(yoe + era * 400 + (*month <= 2));
}

int DayOfWeek(const DateTime& t) {
  const long days = DaysFromCivil(t.year, t.month, t.day);
  // 1970-01-01 was a Thursday (4).
  return static_cast<int>(((days % 7) + 7 + 4) % 7);
}

DateTime AddDays(const DateTime& t, long days) {
  DateTime r = t;
  CivilFromDays(DaysFromCivil(t.year, t.month, t.day) + days, &r.year, &r.month, &r.day);
  return r;
}

DateTime AddSeconds(const DateTime& t, long long seconds) {
  const long long total = DaysFromCivil(t.year, t.month, t.day) * 86400LL + t.hour * 3600LL +
                          t.minute * 60LL + t.second + seconds;
  // Floor division, so that moments before 1970 come out right too.
  long long days = total / 86400;
  long long rest = total % 86400;
  if (rest < 0) rest += 86400, days -= 1;
  DateTime r = AddDays(DateTime{1970, 1, 1, 0, 0, 0}, static_cast<long>(days));
  r.hour = static_cast<int>(rest / 3600);
  r.minute = static_cast<int>(rest / 60 % 60);
  r.second = static_cast<int>(rest % 60);
  return r;
}

bool IsValid(const DateTime& t) {
  return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= DaysInMonth(t.year, t.month) &&
         t.hour >= 0 && t.hour < 24 && t.minute >= 0 && t.minute < 60 && t.second >= 0 &&
         t.second < 60;
}

std::string Pad(long value, int width) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  if (static_cast<int>(digits.size()) < width) {
    digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
  }
  return value < 0 ? "-" + digits : digits;
}

}  // namespace velunor
