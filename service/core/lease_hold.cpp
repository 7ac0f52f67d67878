#include "service/core/lease_hold.h"

#include <algorithm>

#include "service/common/failure.h"
#include "service/common/zusatzfunktionen.h"

namespace velunor {

namespace {

// Taken off the lease's end: the server may count the lease from a moment
// up to a second earlier than this machine asked (whole seconds), and the
// two clocks may run at slightly different rates.
constexpr std::int64_t kLeaseMarginMs = 2000;
// A refusal of the lease other than a lost connection is logged this rarely.
constexpr std::int64_t kLeaseLogPauseMs = 60 * 1000;

}  // namespace

bool LeaseHold::Ask(Procedure& p, bool* held) {
  const std::int64_t asked_at = clock_.ElapsedMs();
  *held = false;
  LeaseAnswer answer = LeaseAnswer::kHeldByOther;
  if (Refused(p, lease_.TakeReporterLease(&answer))) return false;
  *held = answer == LeaseAnswer::kHeld;
  if (*held) Confirmed(asked_at);
  const bool copy = answer == LeaseAnswer::kHeldByCopy;
  if (copy && !copy_) {
    copy_ = true;
    // Said loudly once: two processes under one token would both report.
    std::optional<LeaseHolder> holder;
    if (p.Check(lease_.ReporterLeaseHolder(&holder))) {
      holder_ = holder.value_or(LeaseHolder{}).name;
    }
    log_.WriteNotice(CopyText(), p.name());
    front_end_.Notice(CopyText());
  }
  copy_ = copy;
  return true;
}

LeaseHold::Step LeaseHold::Begin(Procedure& p) {
  const std::int64_t asked_at = clock_.ElapsedMs();
  bool held = false;
  const Status begun = lease_.BeginLeasedStep(&held);
  if (begun.code() == kErrConnectionLost) {
    // Nothing can be written on a lost connection: the step notices the
    // loss itself, under its own name, as it would without a lease.
    lost_at_begin_ = begun;
    return Step::kNoConnection;
  }
  if (Refused(p, begun)) return Step::kNotConfirmed;
  if (!held) return Step::kLost;
  Confirmed(asked_at);
  return Step::kConfirmed;
}

LeaseHold::Step LeaseHold::End(Procedure& p) {
  if (log_.LetzterFehler() == kErrConnectionLost) {
    // Logged by the step; the server rolls back what it began.
    lease_.AbandonLeasedStep();
    return Step::kNotConfirmed;
  }
  const std::int64_t asked_at = clock_.ElapsedMs();
  bool held = false;
  if (Refused(p, lease_.EndLeasedStep(&held))) return Step::kRolledBack;
  if (!held) return Step::kLost;
  committed_until_ms_ = Confirmed(asked_at);
  return Step::kConfirmed;
}

std::int64_t LeaseHold::TransmissionLimitMs() const {
  if (!kept()) return 0;
  return std::max<std::int64_t>(1, committed_until_ms_ - clock_.ElapsedMs());
}

std::optional<LeaseHolder> LeaseHold::LookAtHolder(Procedure& p) {
  std::optional<LeaseHolder> holder;
  p.Check(lease_.ReporterLeaseHolder(&holder));
  // Worked out once per holder: the two clocks' seconds do not tick
  // together, and the line must not change with every tick.
  if (holder && holder->token != holder_token_) {
    holder_ = holder->name;
    holder_token_ = holder->token;
    holder_since_ = DateTimeText(AddSeconds(clock_.Now(), -holder->held_seconds));
  }
  return holder;
}

std::string LeaseHold::StandbyText() const {
  std::string text = "Bereitschaft: aktiver Dienst ist ";
  return text.append(holder_).append(" (seit ").append(holder_since_).append(")");
}

std::string LeaseHold::CopyText() const {
  return "Die Kennung dieses Dienstes (velunor.instance) meldet gerade ein anderer Prozess (" +
         holder_ +
         "): eine Kopie dieses Programmverzeichnisses läuft anderswo; dieser Dienst sendet "
         "nichts -> die Kopie beenden und ihre velunor.instance löschen";
}

std::string LeaseHold::TakeOverText() const {
  std::string text = "Aktiver Dienst übernommen (bisher ";
  return text.append(holder_).append(", seit ").append(holder_since_).append(" ohne Erneuerung)");
}

bool LeaseHold::Refused(Procedure& p, const Status& refused) {
  if (refused.ok()) return false;
  // Two writers at once: not confirmed this time, asked again next tick.
  if (IsWriteConflict(refused.code())) return true;
  const std::int64_t now = clock_.ElapsedMs();
  if (refused.code() == kErrConnectionLost || !logged_ || now - logged_at_ms_ >= kLeaseLogPauseMs) {
    p.Check(refused);
    logged_ = true;
    logged_at_ms_ = now;
  }
  if (operations_ != nullptr && refused.code() != kErrConnectionLost) {
    p.Run([&] {
      operations_->LeaseProblem("Meldeberechtigung nicht bestätigt: " +
                                std::to_string(refused.code()) + " " + refused.message());
    });
    problem_shown_ = true;
  }
  return true;
}

std::int64_t LeaseHold::Confirmed(std::int64_t asked_at) {
  if (operations_ != nullptr && problem_shown_) operations_->LeaseProblem("");
  problem_shown_ = false;
  return asked_at + lease_.LeaseSeconds() * 1000LL - kLeaseMarginMs;
}

}  // namespace velunor
