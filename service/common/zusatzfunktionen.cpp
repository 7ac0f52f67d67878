#include "service/common/zusatzfunktionen.h"

#include <charconv>
#include <cmath>

namespace velunor {

// The part of `text` that reads as a number: an optional sign, digits, a
// point and more digits, after leading blanks; empty when there are no digits.
static std::string NumberText(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool digits = false;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, digits = true;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, digits = true;
  }
  if (!digits) return "";
  std::string number = text.substr(start, i - start);
  if (number[0] == '+') number.erase(0, 1);
  return number;
}

double NumberValue(const std::string& text) {
  const std::string number = NumberText(text);
  double value = 0.0;
  std::from_chars(number.data(), number.data() + number.size(), value);
  return value;
}

// Rounds the number as it is written, half away from zero, to `decimals`
// decimals. Working on the digits rather than on a double keeps 0.8995 a
// half (0.900) and 1.8594999999 below one (1.859), whatever binary makes of
// them. REQUIRES: `number` is what NumberText returns.
static std::string Fixed(const std::string& number, int decimals) {
  const bool negative = !number.empty() && number[0] == '-';
  const std::string unsigned_part = number.substr(negative ? 1 : 0);
  const size_t point = unsigned_part.find('.');
  std::string whole = unsigned_part.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : unsigned_part.substr(point + 1);
  const size_t kept = decimals < 0 ? 0 : static_cast<size_t>(decimals);

  const bool round_up = fraction.size() > kept && fraction[kept] >= '5';
  fraction.resize(kept, '0');
  std::string digits = whole + fraction;
  if (round_up) {
    size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) {
      digits.insert(0, 1, '1');
    } else {
      digits[i - 1] += 1;
    }
  }
  // A value that rounds to zero is written without its sign.
  const bool zero = digits.find_first_not_of('0') == std::string::npos;
  std::string text = negative && !zero ? "-" : "";
  const size_t whole_size = digits.size() - kept;
  const size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos || first >= whole_size) {
    text += '0';
  } else {
    text.append(digits, first, whole_size - first);
  }
  if (kept > 0) text.append(".").append(digits, whole_size, kept);
  return text;
}

std::string RechtsBuendig(std::string& text, int width) {
  if (static_cast<int>(text.size()) < width) {
    text.insert(0, static_cast<size_t>(width) - text.size(), ' ');
  }
  if (auto comma = text.find(','); comma != std::string::npos) text[comma] = '.';
  return text;
}

std::string Dezimal(std::string& value, float decimals_in, float width_in) {
  if (auto comma = value.find(','); comma != std::string::npos) value[comma] = '.';
  if (auto e = value.find('E'); e != std::string::npos) value.erase(e);
  const std::string number = NumberText(value);
  const double n = NumberValue(number);
  const int decimals = static_cast<int>(std::lround(decimals_in));
  const int width = static_cast<int>(std::lround(width_in));

  const bool valid = width - decimals >= 2 || (decimals == 0 && width == 1);
  if (!valid) return "0";

  if (width == 1) {
    if (n < 0 || n > 9) return "0";
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, n);
    return std::string(buffer, result.ptr);
  }

  const double largest = decimals <= 0
                             ? std::pow(10.0, width) - 1
                             : std::pow(10.0, width - decimals - 1) - std::pow(10.0, -decimals);
  std::string text;
  // The bound is compared on the double: a text a hair above the largest
  // value still rounds to it, and the rounding itself is exact.
  if (n <= largest + 1e-9) {
    text = Fixed(number, decimals);
  } else {
    text = decimals <= 0 ? "0" : "0." + std::string(static_cast<size_t>(decimals), '0');
  }
  return RechtsBuendig(text, width);
}

std::string NowFromDate(const Clock& clock) { return DateTimeText(clock.Now()); }

std::string DateTimeText(const DateTime& t) {
  return Pad(t.day, 2) + "." + Pad(t.month, 2) + "." + Pad(t.year, 4) + " " + Pad(t.hour, 2) + ":" +
         Pad(t.minute, 2) + ":" + Pad(t.second, 2);
}

int ZeitzonenStatus(const Clock& clock) { return clock.ZoneState(); }

std::string ZeitzonenText(const Clock& clock) {
  return ZeitzonenStatus(clock) == 2 ? "+02:00" : "+01:00";
}

static DateTime LastSunday(int year, int month) {
  DateTime d{year, month, 31, 0, 0, 0};
  while (DayOfWeek(d) != 0) d.day -= 1;
  return d;
}

DateTime LetzterSonntagMaerz(int year) { return LastSunday(year, 3); }
DateTime LetzterSonntagOktober(int year) { return LastSunday(year, 10); }

std::string ZeitOffset(const DateTime& date) {
  const DateTime start = LetzterSonntagMaerz(date.year);
  const DateTime end = LetzterSonntagOktober(date.year);
  return (date >= start && date < end) ? "+02:00" : "+01:00";
}

}  // namespace velunor
