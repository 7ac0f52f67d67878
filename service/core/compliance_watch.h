// The legal five minutes: a price change must reach the MTS-K within five
// minutes, so the service watches when the MTS-K last acknowledged a price
// publication and since when synchronised station data wait for an
// acknowledgement. Past five minutes it raises an alarm, and clears it once
// an acknowledgement arrives: each change is one error-log entry, one line on
// standard error and the service state's alarm (the window's red line, the
// service manager's status and the status page show it). Single-threaded: the window's thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "service/common/date_time.h"
#include "service/common/env.h"
#include "service/core/front_end.h"

namespace velunor {

class ComplianceWatch {
 public:
  static constexpr std::int64_t kLimitSeconds = 5 * 60;

  ComplianceWatch(Env& env, FrontEnd& front_end);

  // The service reports from now on (the end of a good start). The price
  // clock started `age_seconds` ago, at `since` (nullopt: now): the last
  // acknowledgement the database knows of, so that a restart does not reset it.
  void Start(std::int64_t age_seconds = 0, const std::optional<DateTime>& since = std::nullopt);
  // Another instance reports from now on: no alarm is this one's to raise,
  // and a raised one leaves the window, until the next Start.
  void Stop();
  void PriceAcknowledged();
  // After every tick. `stations_since`: when the oldest station data still
  // waiting for an acknowledgement were synchronised (clock's epoch seconds),
  // nullopt when none wait.
  void Check(std::optional<std::int64_t> stations_since);

  bool price_alarm() const { return price_.raised; }
  bool station_alarm() const { return stations_.raised; }

 private:
  struct Watch {
    std::optional<std::int64_t> since;  // epoch seconds
    std::string since_text;             // the same moment as "dd.mm.yyyy hh:mm:ss"
    bool raised = false;
    std::string alarm_text;  // what the window shows while raised
  };
  // Raises or clears one alarm; true when it changed.
  bool Update(Watch& watch, bool overdue, const std::string& raise_text,
              const std::string& clear_text);
  void ShowAlarms();

  Env& env_;
  FrontEnd& front_end_;
  bool started_ = false;
  Watch price_;
  Watch stations_;
};

}  // namespace velunor
