// Everything the service asks the operating system about time: the local
// time, the daylight-saving state and sleeping. Tests hand in a FakeClock.
#pragma once

#include <cstdint>

#include "service/common/date_time.h"

namespace velunor {

class Clock {
 public:
  virtual ~Clock() = default;
  // Current local date and time.
  virtual DateTime Now() const = 0;
  // The operating system's zone state: 0 unknown, 1 standard time, 2 daylight-saving time.
  virtual int ZoneState() const = 0;
  // Seconds since 1970 in UTC: what durations are measured in, so that a
  // change of the clocks to or from summer time does not stretch them.
  virtual std::int64_t EpochSeconds() const = 0;
  // Milliseconds from an arbitrary start that never jump, not with the wall
  // clock set nor with the machine suspended: how long something has lasted.
  virtual std::int64_t ElapsedMs() const = 0;
  virtual void SleepMs(int milliseconds) = 0;
};

// The machine's clock and time zone (TZ honoured).
class SystemClock : public Clock {
 public:
  DateTime Now() const override;
  int ZoneState() const override;
  std::int64_t EpochSeconds() const override;
  std::int64_t ElapsedMs() const override;
  void SleepMs(int milliseconds) override;
};

// A clock that stands still until a test moves it; sleeping only counts.
class FakeClock : public Clock {
 public:
  explicit FakeClock(DateTime now, int zone_state = 1) : now_(now), zone_state_(zone_state) {}
  DateTime Now() const override { return now_; }
  int ZoneState() const override { return zone_state_; }
  // The local time read as if it were UTC: durations come out right.
  std::int64_t EpochSeconds() const override {
    return DaysFromCivil(now_.year, now_.month, now_.day) * 86400LL + now_.hour * 3600LL +
           now_.minute * 60LL + now_.second;
  }
  std::int64_t ElapsedMs() const override { return EpochSeconds() * 1000; }
  void SleepMs(int milliseconds) override { slept_ms_ += milliseconds; }
  // Moves the clock on by whole seconds.
  void Advance(long seconds);

  void Set(DateTime now) { now_ = now; }
  void SetZoneState(int state) { zone_state_ = state; }
  long slept_ms() const { return slept_ms_; }

 private:
  DateTime now_;
  int zone_state_;
  long slept_ms_ = 0;
};

}  // namespace velunor
