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

std::int64_t SystemClock::ElapsedMs() const {
  // CLOCK_BOOTTIME goes on while the machine sleeps: a lease held by the
  // database server's clock runs out during a suspend, too.
  timespec t{};
  clock_gettime(CLOCK_BOOTTIME, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

void SystemClock::SleepMs(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void FakeClock::Advance(long seconds) { now_ = AddSeconds(now_, seconds); }

}  // namespace velunor
