// What the scheduler tells the status page and the metrics about its own
// course; the rest (transmissions, reconnects) comes from the procedures.
// Called on the window's thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velunor {

class OperationsSink {
 public:
  virtual ~OperationsSink() = default;
  // A step of the price chain, scheduler state `state`, took `seconds`.
  virtual void ChainStepTook(int state, double seconds) = 0;
  // After the start and after every tick: whether the service waits for the
  // database, and whether it is ending.
  virtual void TickDone(bool database_lost, bool stopping) = 0;
  // The client certificate's end (nullopt: no usable one found) and the
  // warning the window shows about it ("" while it is not near), at the
  // start, daily and after a failed transmission.
  virtual void ClientCertificate(std::optional<std::int64_t> not_after,
                                 const std::string& warning) = 0;
  // At the end of the start and whenever it changes: whether this instance
  // holds the reporter lease (active) or waits as a standby.
  virtual void Active(bool /*active*/) {}
  // Why the reporter lease could not be confirmed (other than by a lost
  // connection or a conflict of two writers); "" once it is again.
  virtual void LeaseProblem(const std::string& /*why*/) {}
  // While standing by: why nobody seems to report, or that a copy of this
  // instance does; "" when all is well.
  virtual void StandbyAlarm(const std::string& /*why*/) {}
};

}  // namespace velunor
