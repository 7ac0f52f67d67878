#include "service/common/zusatzfunktionen.h"

#include <charconv>
#include <cmath>

namespace velunor {

double NumberValue(const std::string& text) {
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
  if (!digits) return 0.0;
  std::string number = text.substr(start, i - start);
  if (number[0] == '+') number.erase(0, 1);
  double value = 0.0;
  std::from_chars(number.data(), number.data() + number.size(), value);
  return value;
}

// Halfway values round away from zero as they read in decimal: 0.8995 is
// 0.89949999... in binary and would otherwise round down.
static std::string Fixed(double value, int decimals) {
  value += std::copysign(1e-9, value);
  const int precision = decimals < 0 ? 0 : decimals;
  // Room for any double written out: up to 309 digits before the point (a
  // smaller buffer makes to_chars fail and leaves its bytes unspecified).
  std::string buffer(330 + static_cast<size_t>(precision), '\0');
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                              std::chars_format::fixed, precision);
  buffer.resize(static_cast<size_t>(result.ptr - buffer.data()));
  return buffer;
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
  const double n = NumberValue(value);
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
  if (n <= largest + 1e-9) {
    text = Fixed(n, decimals);
  } else {
    text = decimals <= 0 ? "0" : "0." + std::string(static_cast<size_t>(decimals), '0');
  }
  return RechtsBuendig(text, width);
}

std::string NowFromDate(const Clock& clock) {
  const DateTime t = clock.Now();
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
