// The opening-time preparation on arbitrary upstream rows: regular,
// temporary and special opening-time texts with arbitrary validity dates,
// for an arbitrary day. Only Failure (a date that cannot be read) may leave
// it; the weekly records carry real times and a weekday mask of at most 8
// positions with a flag in it (a short upstream text gives a short mask, read
// as stored), and every special period taken has 25-character timestamps.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "service/common/failure.h"
#include "service/db/opening_week.h"

namespace {

template <size_t N>
std::array<std::string, N> Texts(FuzzedDataProvider& in) {
  std::array<std::string, N> texts;
  for (std::string& t : texts) t = in.ConsumeRandomLengthString(40);
  return texts;
}

bool RealTime(const std::string& t) {
  return t.size() == 8 && t.compare(5, 3, ":00") == 0 && velunor::ReadClockTime(t.substr(0, 5));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  velunor::DateTime today;
  today.year = in.ConsumeIntegralInRange(1990, 2100);
  today.month = in.ConsumeIntegralInRange(1, 12);
  today.day = in.ConsumeIntegralInRange(1, velunor::DaysInMonth(today.year, today.month));
  velunor::OpeningWeek week(today);

  const int rows = in.ConsumeIntegralInRange(0, 8);
  for (int r = 0; r < rows; ++r) {
    const int zeitraum = in.ConsumeIntegralInRange(-1, 5);
    if (zeitraum == 0) {
      week.SetRegular(Texts<6>(in));
    } else if (zeitraum == 4) {
      week.SetSpecials(Texts<6>(in));
    } else {
      const std::string start = in.ConsumeRandomLengthString(12);
      const std::string end = in.ConsumeRandomLengthString(12);
      try {
        week.ApplyPeriod(zeitraum, start, end, Texts<5>(in));
      } catch (const velunor::Failure&) {
        // An unreadable validity date: the row is left out.
      }
    }
  }
  week.Assemble();
  week.AroundTheClock();
  for (const velunor::WeeklyRecord& rec : week.Records()) {
    if (rec.mask.size() > 8 || rec.mask.find('1') == std::string::npos) std::abort();
    if (!RealTime(rec.start) || !RealTime(rec.end)) std::abort();
    if (rec.start2.empty() != rec.end2.empty()) std::abort();
    if (!rec.start2.empty() && (!RealTime(rec.start2) || !RealTime(rec.end2))) std::abort();
  }
  for (int k = 1; k <= 8; ++k) {
    try {
      const auto period = velunor::TakeSpecial(week.Special(k), today);
      if (period && (period->periodStart.size() != 25 || period->periodEnd.size() != 25)) {
        std::abort();
      }
    } catch (const velunor::Failure&) {
      // A special whose date cannot be read.
    }
  }
  return 0;
}
