#include "service/db/opening_week.h"

#include <algorithm>
#include <initializer_list>

#include "service/common/failure.h"
#include "service/common/zusatzfunktionen.h"

namespace velunor {

namespace {

// Entries are read position by position; a short text counts as blank there
// (entries are kept as they stand, so a weekday mask is what its positions
// hold). Specials are padded to their 32 positions.
constexpr size_t kSpecialLength = 32;

bool Blank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

std::string Padded(const std::string& text, size_t length) {
  return text.size() >= length ? text : text + std::string(length - text.size(), ' ');
}

// Positions count from 1, as in the upstream text forms.
std::string Mid(const std::string& text, size_t position, size_t length) {
  return position - 1 < text.size() ? text.substr(position - 1, length) : "";
}
char At(const std::string& text, size_t position) {
  return position - 1 < text.size() ? text[position - 1] : ' ';
}
void SetAt(std::string& text, size_t position, char c) {
  if (position - 1 < text.size()) text[position - 1] = c;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool AllDigits(const std::string& text) { return std::all_of(text.begin(), text.end(), IsDigit); }
bool Digits(const std::string& text, std::initializer_list<size_t> at) {
  return std::all_of(at.begin(), at.end(),
                     [&](size_t i) { return i < text.size() && IsDigit(text[i]); });
}
int Number(const std::string& text, size_t from, size_t count) {
  return std::stoi(text.substr(from, count));
}

[[noreturn]] void NoDate(const std::string& text) {
  throw Failure(kErrTypeMismatch, "Typen unverträglich: '" + text + "' ist kein Datum");
}

// Day and month of a period's validity, "dd.mm." (the year is left open, so a
// period recurs every year), as month * 100 + day.
int ReadDayMonth(const std::string& text) {
  std::string t = text;
  t.erase(0, std::min(t.find_first_not_of(' '), t.size()));
  t.erase(t.find_last_not_of(' ') + 1);
  const size_t point = t.find('.');
  if (point == std::string::npos || point == 0 || point > 2) NoDate(text);
  std::string rest = t.substr(point + 1);
  if (!rest.empty() && rest.back() == '.') rest.pop_back();
  if (rest.empty() || rest.size() > 2) NoDate(text);
  const std::string day = t.substr(0, point);
  if (!AllDigits(day) || !AllDigits(rest)) NoDate(text);
  const int d = std::stoi(day);
  const int m = std::stoi(rest);
  // 29 February is a real day in a leap year; accept it as a recurring date.
  if (m < 1 || m > 12 || d < 1 || d > DaysInMonth(2000, m)) NoDate(text);
  return m * 100 + d;
}

// Whether the day lies in the period from..to, both ends included; a period
// whose end comes before its start in the calendar runs over the turn of the year.
bool Covers(int from, int to, const DateTime& day) {
  const int md = day.month * 100 + day.day;
  return from <= to ? (from <= md && md <= to) : (md >= from || md <= to);
}

std::string IsoDate(const DateTime& d) {
  return Pad(d.year, 4) + "-" + Pad(d.month, 2) + "-" + Pad(d.day, 2);
}

}  // namespace

DateTime ReferenceSunday(const DateTime& today) {
  const DateTime date{today.year, today.month, today.day, 0, 0, 0};
  return AddDays(date, (7 - DayOfWeek(date)) % 7);
}

std::optional<int> ReadSpecialTime(const std::string& text) {
  if (text == "24:00") return 2400;
  return ReadClockTime(text);
}

std::optional<int> ReadClockTime(const std::string& text) {
  if (text.size() != 5 || text[2] != ':' || !Digits(text, {0, 1, 3, 4})) return std::nullopt;
  const int hours = Number(text, 0, 2);
  const int minutes = Number(text, 3, 2);
  if (hours > 23 || minutes > 59) return std::nullopt;
  return hours * 100 + minutes;
}

DateTime ReadDate(const std::string& text) {
  if (text.size() != 10 || text[2] != '.' || text[5] != '.' ||
      !Digits(text, {0, 1, 3, 4, 6, 7, 8, 9})) {
    NoDate(text);
  }
  const DateTime d{Number(text, 6, 4), Number(text, 3, 2), Number(text, 0, 2), 0, 0, 0};
  if (!IsValid(d)) NoDate(text);
  return d;
}

DateTime AddOneMonth(const DateTime& date) {
  DateTime r = date;
  r.month += 1;
  if (r.month > 12) r.month = 1, r.year += 1;
  r.day = std::min(r.day, DaysInMonth(r.year, r.month));
  return r;
}

void OpeningWeek::SetRegular(const std::array<std::string, 6>& times) {
  for (size_t k = 1; k <= 6; ++k) entries_[k] = times[k - 1];
}

void OpeningWeek::SetSpecials(const std::array<std::string, 6>& times) {
  for (size_t k = 1; k <= 6; ++k) specials_[k] = Padded(times[k - 1], kSpecialLength);
}

bool OpeningWeek::ApplyPeriod(int zeitraum, const std::string& start_datum,
                              const std::string& end_datum,
                              const std::array<std::string, 5>& times) {
  if (zeitraum < 1 || zeitraum > 3) return false;
  if (NumberValue(start_datum) <= 0 || NumberValue(end_datum) <= 0) return false;
  // Both dates are read before anything changes, so an unreadable period
  // leaves the regular times as they are.
  const int from = ReadDayMonth(start_datum);
  const int to = ReadDayMonth(end_datum);

  const size_t base = 5 * static_cast<size_t>(zeitraum - 1);
  for (size_t i = 1; i <= 5; ++i) periods_[base + i] = times[i - 1];

  // The week published is Monday to Sunday after the reference Sunday; each of
  // its days belongs either to the period's times or to the regular ones.
  const DateTime sunday = ReferenceSunday(today_);
  for (size_t d = 1; d <= 7; ++d) {
    if (Covers(from, to, AddDays(sunday, static_cast<long>(d)))) {
      for (size_t k = 1; k <= 6; ++k) {
        if (!Blank(entries_[k])) SetAt(entries_[k], 10 + d, '0');
      }
    } else {
      for (size_t i = 1; i <= 5; ++i) {
        if (!Blank(periods_[base + i])) SetAt(periods_[base + i], 10 + d, '0');
      }
    }
  }
  return true;
}

void OpeningWeek::Assemble() {
  std::vector<std::string> regular;
  for (size_t k = 1; k <= 6; ++k) {
    if (!Blank(entries_[k])) regular.push_back(entries_[k]);
  }
  for (auto& entry : entries_) entry.clear();
  n_ = 0;
  for (const std::string& entry : regular) entries_[static_cast<size_t>(++n_)] = entry;
  const int r = n_;
  for (size_t i = 1; i <= 15; ++i) {
    const std::string& period = periods_[i];
    if (Blank(period) || Mid(period, 11, 7) == "0000000") continue;
    entries_[static_cast<size_t>(++n_)] = period;
    // A period with its own public-holiday times takes them over.
    if (At(period, 18) == '1') {
      for (int k = 1; k <= r; ++k) SetAt(entries_[static_cast<size_t>(k)], 18, '0');
    }
  }
}

std::string OpeningWeek::Special(int k) const {
  return Padded(specials_.at(static_cast<size_t>(k)), kSpecialLength);
}

bool OpeningWeek::AroundTheClock() const {
  return n_ >= 1 && Mid(entries_[1], 1, 17) == kAroundTheClock;
}

std::vector<WeeklyRecord> OpeningWeek::Records() {
  std::vector<std::optional<WeeklyRecord>> records(static_cast<size_t>(n_) + 1);
  const std::string year = Pad(today_.year, 4);
  for (size_t k = 1; k <= static_cast<size_t>(n_); ++k) {
    const std::string& entry = entries_[k];
    if (Blank(entry)) continue;
    const std::string opens = Mid(entry, 1, 5);
    const std::string closes = Mid(entry, 6, 5);
    if (!ReadClockTime(opens) || !ReadClockTime(closes)) continue;

    const std::string mask = Mid(entry, 11, 8);
    if (mask.find('1') != std::string::npos) {
      auto same = std::find_if(records.begin() + 1, records.begin() + static_cast<long>(k),
                               [&](const auto& rec) { return rec && rec->mask == mask; });
      if (same != records.begin() + static_cast<long>(k)) {
        (*same)->start2 = opens + ":00";
        (*same)->end2 = closes + ":00";
      } else {
        records[k] = WeeklyRecord{mask, opens + ":00", closes + ":00", "", ""};
      }
    }
    if (At(entry, 19) == '1' && today_.month == 12 && today_.day <= 24) {
      specials_[7] = "24.12." + year + "24.12." + year + opens + closes + "10";
    }
    if (At(entry, 20) == '1' && today_.month == 12) {
      specials_[8] = "31.12." + year + "31.12." + year + opens + closes + "10";
    }
  }
  std::vector<WeeklyRecord> result;
  for (auto& rec : records) {
    if (rec) result.push_back(std::move(*rec));
  }
  return result;
}

std::optional<SpecialPeriod> TakeSpecial(const std::string& special, const DateTime& today) {
  const std::string s = Padded(special, kSpecialLength);
  if (Blank(s)) return std::nullopt;
  if (NumberValue(Mid(s, 1, 2)) <= 0 || NumberValue(Mid(s, 11, 2)) <= 0) return std::nullopt;
  const std::string from_time = Mid(s, 21, 5);
  const std::string to_time = Mid(s, 26, 5);
  if (Blank(from_time) || Blank(to_time)) return std::nullopt;
  const double open = NumberValue(Mid(s, 31, 1));
  const double closed = NumberValue(Mid(s, 32, 1));
  if (open <= 0 && closed <= 0) return std::nullopt;
  // The times go into the publication as they are: a time of day, or 24:00
  // for a period open until midnight. Anything else cannot be published.
  for (const std::string& time : {from_time, to_time}) {
    if (!ReadSpecialTime(time)) {
      throw Failure(kErrTypeMismatch, "Typen unverträglich: '" + time + "' ist keine Uhrzeit");
    }
  }

  const DateTime first = ReadDate(Mid(s, 1, 10));
  const DateTime last = ReadDate(Mid(s, 11, 10));
  const DateTime day{today.year, today.month, today.day, 0, 0, 0};
  if (last < day || first > AddOneMonth(day)) return std::nullopt;

  SpecialPeriod period;
  period.closed = static_cast<int>(closed);
  period.periodStart = IsoDate(first) + "T" + from_time + ":00" + ZeitOffset(first);
  period.periodEnd = IsoDate(last) + "T" + to_time + ":00" + ZeitOffset(last);
  return period;
}

}  // namespace velunor
