#include "service/common/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace velunor {

static std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return tm;
}

DateTime SystemClock::Now() const {
  const std::tm tm = LocalNow();
  return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour,        tm.tm_min,     tm.tm_sec < 60 ? tm.tm_sec : 59};
}

int SystemClock::ZoneState() const {
  const std::tm tm = LocalNow();
  if (tm.tm_isdst < 0) return 0;
  return tm.tm_isdst > 0 ? 2 : 1;
}

std::int64_t SystemClock::EpochSeconds() const { return std::time(nullptr); }

void SystemClock::SleepMs(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void FakeClock::Advance(long seconds) { now_ = AddSeconds(now_, seconds); }

}  // namespace velunor
