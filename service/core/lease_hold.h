// This instance's hold on the reporter lease, as the scheduler keeps it:
// until when the lease is surely its own by the last renewal the server
// committed, who holds it while this instance stands by, and whether that is
// a copy of this instance under its token.
// A refusal of the lease is logged at most once a minute (a lost connection
// always) and shown to the status server as a problem of the lease until a
// renewal succeeds. Standing by, taking over and resuming are the
// scheduler's; this class only asks and remembers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "service/common/clock.h"
#include "service/common/fehler_log.h"
#include "service/common/procedure.h"
#include "service/core/front_end.h"
#include "service/core/procedures.h"
#include "service/status/operations_sink.h"

namespace velunor {

class LeaseHold {
 public:
  // Every argument must outlive the hold; `operations` may be null.
  LeaseHold(Clock& clock, FehlerLog& log, LeaseProcedures& lease, FrontEnd& front_end,
            OperationsSink* operations)
      : clock_(clock), log_(log), lease_(lease), front_end_(front_end), operations_(operations) {}

  // False when this service keeps no lease and always reports.
  bool kept() const { return lease_.LeaseSeconds() > 0; }

  // Asks the database for the lease; false when the question itself failed
  // (logged as Refused says), `held` whether it is this process's now.
  // A copy of this instance holding it is said loudly once.
  bool Ask(Procedure& p, bool* held);

  // The reporter's step as one transaction that the lease fences: begun by
  // confirming it, committed only when it is still this process's.
  // kNoConnection: the connection was lost before the step (lost_at_begin()
  // says how); only a step that sends nothing runs then. kRolledBack: the
  // server refused the commit, so what this run holds in memory is no longer
  // what the database has.
  enum class Step { kConfirmed, kNotConfirmed, kLost, kNoConnection, kRolledBack };
  Step Begin(Procedure& p);
  Step End(Procedure& p);
  const Status& lost_at_begin() const { return lost_at_begin_; }

  // How long a transmission may take: until the last renewal the server
  // committed runs out (on a cluster the others do not see a renewal until
  // it commits), at least 1 ms; 0 for no limit when no lease is kept.
  std::int64_t TransmissionLimitMs() const;

  // Asks who holds the lease and remembers the holder for the texts below;
  // nullopt when nobody has yet or the question failed (logged through `p`).
  std::optional<LeaseHolder> LookAtHolder(Procedure& p);
  // This instance's token is held by another process.
  bool copy() const { return copy_; }

  // "Bereitschaft: aktiver Dienst ist NAME (seit …)"
  std::string StandbyText() const;
  // What a copy of this instance under its token means and what to do.
  std::string CopyText() const;
  // "Aktiver Dienst übernommen (bisher NAME, seit … ohne Erneuerung)"
  std::string TakeOverText() const;

 private:
  // True when `refused` is a refusal (a conflict of two writers silently).
  bool Refused(Procedure& p, const Status& refused);
  // Ends a problem shown; returns until when, by the clock's ElapsedMs, a
  // renewal asked for at `asked_at` surely holds: plus the lease, less a margin.
  std::int64_t Confirmed(std::int64_t asked_at);

  Clock& clock_;
  FehlerLog& log_;
  LeaseProcedures& lease_;
  FrontEnd& front_end_;
  OperationsSink* operations_;
  // Until when the last renewal the server committed surely holds.
  std::int64_t committed_until_ms_ = 0;
  std::string holder_;        // the other instance's name while standing by
  std::string holder_since_;  // since when it holds the lease, dd.mm.yyyy hh:mm:ss
  std::string holder_token_;
  Status lost_at_begin_;
  bool copy_ = false;
  bool problem_shown_ = false;
  bool logged_ = false;
  std::int64_t logged_at_ms_ = 0;
};

}  // namespace velunor
