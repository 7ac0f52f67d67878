// Number, date and time-zone text forms shared by the whole service: the
// fixed-decimal price text, the status timestamp and the German summer-time
// rule. Independent of the process locale; no state.
#pragma once

#include <string>

#include "service/common/clock.h"
#include "service/common/date_time.h"

namespace velunor {

// Price text: `value` has its first comma turned into a point and anything
// from the first 'E' on cut off (in the caller's text); the number is then
// written with `decimals` decimals, right-aligned to `width` with blanks.
// Values above the largest that fits give zero; invalid widths give "0".
std::string Dezimal(std::string& value, float decimals, float width);

// Right-aligns `text` to `width` with leading blanks (never cuts), then turns
// its first comma into a point. Modifies and returns the text.
std::string RechtsBuendig(std::string& text, int width);

// "dd.mm.yyyy hh:mm:ss" of the clock's current local time.
std::string NowFromDate(const Clock& clock);
// The same form for any moment.
std::string DateTimeText(const DateTime& t);

// 0 unknown, 1 standard time, 2 daylight-saving time, as the OS reports it.
int ZeitzonenStatus(const Clock& clock);

// "+02:00" when the OS reports daylight-saving time, otherwise "+01:00".
std::string ZeitzonenText(const Clock& clock);

// Last Sunday of March / October of `year`, at 00:00.
DateTime LetzterSonntagMaerz(int year);
DateTime LetzterSonntagOktober(int year);

// "+02:00" from the last Sunday of March 00:00 up to (not including) the last
// Sunday of October 00:00, otherwise "+01:00".
std::string ZeitOffset(const DateTime& date);

// Locale-independent reading of a decimal number with a point, stopping at
// the first character that cannot continue it; blanks before it are skipped;
// no number at all reads as 0.
double NumberValue(const std::string& text);

}  // namespace velunor
