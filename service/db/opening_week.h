// The week of opening times a station publishes, worked out from the upstream
// opening-time texts: regular weekly times, temporary periods that replace them
// on the days they cover, and special periods for single dates. Pure logic on
// texts and dates; a date text that cannot be read throws Failure, every other
// malformed text is skipped.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "service/common/date_time.h"

namespace velunor {

// Positions 1-17 of the entry that opens a station around the clock.
inline constexpr char kAroundTheClock[] = "00:0000:001111111";

// One row of mts_petrolstation_times: weekday mask (Monday .. Sunday, public
// holidays) and up to two time ranges as hh:mm:ss (the second may be empty).
struct WeeklyRecord {
  std::string mask;
  std::string start, end;
  std::string start2, end2;
};

// A special period as the price publication reports it.
struct SpecialPeriod {
  int closed = 0;
  std::string periodStart;  // yyyy-mm-ddThh:mm:00+hh:mm
  std::string periodEnd;
};

// The first Sunday on or after `today` (the calendar Sunday, whatever the locale).
DateTime ReferenceSunday(const DateTime& today);

// hhmm of a time text "hh:mm" between 00:00 and 23:59; nullopt for anything
// else (24:00, blanks, letters, a missing colon).
std::optional<int> ReadClockTime(const std::string& text);

// As ReadClockTime, and also "24:00" (the end of a day, open until
// midnight), which a special period may name.
std::optional<int> ReadSpecialTime(const std::string& text);

// "dd.mm.yyyy" as a date; throws Failure (type mismatch) when it is none.
DateTime ReadDate(const std::string& text);

// The date one calendar month after `date`; the day is cut to the month's end.
DateTime AddOneMonth(const DateTime& date);

// Collects one station's upstream rows and turns them into weekly records and
// special periods. Use: the Set/Apply calls in the order of `zeitraum`, then
// Assemble(), then either AroundTheClock() or Records() and Specials().
class OpeningWeek {
 public:
  explicit OpeningWeek(const DateTime& today) : today_(today) {}

  // zeitraum 0: entries 1-6.
  void SetRegular(const std::array<std::string, 6>& times);
  // zeitraum 4: specials 1-6.
  void SetSpecials(const std::array<std::string, 6>& times);
  // zeitraum 1..3 with its validity "dd.mm." to "dd.mm." (the end may lie
  // before the start: the period then runs over the turn of the year).
  // Returns false when the row is ignored because a date reads as 0 or less.
  // Throws Failure when a date cannot be read; the week is then unchanged.
  bool ApplyPeriod(int zeitraum, const std::string& start_datum, const std::string& end_datum,
                   const std::array<std::string, 5>& times);

  // Regular entries to the front, then the period entries that keep a weekday.
  void Assemble();
  // True when the first entry opens the station around the clock.
  bool AroundTheClock() const;
  // The weekly records in entry order (satz 1, 2, ...); also adds the
  // 24 December and 31 December specials that the entries ask for.
  std::vector<WeeklyRecord> Records();

  // Special k (1..8), blank-padded to 32 positions.
  std::string Special(int k) const;

 private:
  DateTime today_;
  std::array<std::string, 22> entries_;  // 1..21
  std::array<std::string, 16> periods_;  // 1..15
  std::array<std::string, 9> specials_;  // 1..8
  int n_ = 0;
};

// A special taken into the station's override periods, or nullopt when it is
// not usable (blank, day 0, no times, neither open nor closed) or lies outside
// the window from today to one month ahead. Throws Failure when a usable
// special's date cannot be read or a time is no time of day (24:00 is one).
std::optional<SpecialPeriod> TakeSpecial(const std::string& special, const DateTime& today);

}  // namespace velunor
