// MarktTransp's part in the reporter lease: asking for and keeping it,
// fencing every step of the reporter by it, standing by while another
// instance reports (and saying so when nobody does), and taking over.
#include "service/common/end_program.h"
#include "service/common/zusatzfunktionen.h"
#include "service/core/markt_transp.h"

namespace velunor {

namespace {

// Taken off the lease's end: the server may count the lease from a moment
// up to a second earlier than this machine asked (whole seconds), and the
// two clocks may run at slightly different rates.
constexpr std::int64_t kLeaseMarginMs = 2000;
// A lease unrenewed for its length and this long: the holder is gone and
// nobody took over.
constexpr std::int64_t kUnrenewedMarginSeconds = 30;
// No price acknowledged for this long: nobody reports.
constexpr std::int64_t kNobodyReportsSeconds = 5 * 60;
// A standby reads the last acknowledgement every so many ticks.
constexpr int kAcknowledgementTicks = 10;
// A refusal of the lease other than a lost connection is logged this rarely.
constexpr std::int64_t kLeaseLogPauseMs = 60 * 1000;

}  // namespace

std::string MarktTransp::StandbyText() const {
  std::string text = "Bereitschaft: aktiver Dienst ist ";
  return text.append(holder_).append(" (seit ").append(holder_since_).append(")");
}

std::string MarktTransp::CopyText() const {
  return "Die Kennung dieses Dienstes (velunor.instance) meldet gerade ein anderer Prozess (" +
         holder_ +
         "): eine Kopie dieses Programmverzeichnisses läuft anderswo; dieser Dienst sendet "
         "nichts -> die Kopie beenden und ihre velunor.instance löschen";
}

void MarktTransp::ShowStandby(Procedure& p) {
  std::optional<LeaseHolder> holder;
  p.Check(procs_.lease.ReporterLeaseHolder(&holder));
  // Worked out once per holder: the two clocks' seconds do not tick
  // together, and the line must not change with every tick.
  if (holder && holder->token != holder_token_) {
    holder_ = holder->name;
    holder_token_ = holder->token;
    holder_since_ = DateTimeText(AddSeconds(env_.clock.Now(), -holder->held_seconds));
  }
  std::string alarm;
  if (copy_) {
    alarm = CopyText();
    p.Run([&] { ShowStatus(" " + alarm); });
  } else {
    p.Run([&] { ShowStatus(std::string(" ").append(StandbyText())); });
    if (holder &&
        holder->renewed_seconds_ago > procs_.lease.LeaseSeconds() + kUnrenewedMarginSeconds) {
      alarm = "Aktiver Dienst " + holder->name + " hat die Meldeberechtigung seit " +
              std::to_string(holder->renewed_seconds_ago) + " s nicht erneuert";
    }
  }
  if (++standby_ticks_ % kAcknowledgementTicks == 1) {
    KnownAcknowledgements known;
    if (p.Check(procs_.transmission.Acknowledgements(&known))) {
      const AcknowledgedAt& since = known.price ? *known.price : known.price_watched;
      price_silent_seconds_ = since.age_seconds;
    }
  }
  if (alarm.empty() && price_silent_seconds_ > kNobodyReportsSeconds) {
    alarm = "Seit " + std::to_string(price_silent_seconds_) +
            " s keine Preisdaten-Quittung in der Datenbank: es meldet niemand";
  }
  if (operations_ != nullptr) p.Run([&] { operations_->StandbyAlarm(alarm); });
}

bool MarktTransp::LeaseValid() const {
  return procs_.lease.LeaseSeconds() == 0 || env_.clock.ElapsedMs() < lease_until_ms_;
}

void MarktTransp::LeaseConfirmed(std::int64_t asked_at) {
  lease_until_ms_ = asked_at + procs_.lease.LeaseSeconds() * 1000LL - kLeaseMarginMs;
  if (operations_ != nullptr && lease_problem_shown_) operations_->LeaseProblem("");
  lease_problem_shown_ = false;
}

bool MarktTransp::LeaseRefused(Procedure& p, const Status& refused) {
  if (refused.ok()) return false;
  // Two writers at once: not confirmed this time, asked again next tick.
  if (IsWriteConflict(refused.code())) return true;
  const std::int64_t now = env_.clock.ElapsedMs();
  if (refused.code() == kErrConnectionLost || !lease_logged_ ||
      now - lease_logged_at_ms_ >= kLeaseLogPauseMs) {
    p.Check(refused);
    lease_logged_ = true;
    lease_logged_at_ms_ = now;
  }
  if (operations_ != nullptr && refused.code() != kErrConnectionLost) {
    p.Run([&] {
      operations_->LeaseProblem("Meldeberechtigung nicht bestätigt: " +
                                std::to_string(refused.code()) + " " + refused.message());
    });
    lease_problem_shown_ = true;
  }
  return true;
}

bool MarktTransp::AskForLease(Procedure& p, bool* held) {
  const std::int64_t asked_at = env_.clock.ElapsedMs();
  *held = false;
  LeaseAnswer answer = LeaseAnswer::kHeldByOther;
  if (LeaseRefused(p, procs_.lease.TakeReporterLease(&answer))) return false;
  *held = answer == LeaseAnswer::kHeld;
  if (*held) {
    LeaseConfirmed(asked_at);
  } else {
    lease_until_ms_ = 0;
  }
  const bool copy = answer == LeaseAnswer::kHeldByCopy;
  if (copy && !copy_) {
    copy_ = true;
    // Said loudly once: two processes under one token would both report.
    std::optional<LeaseHolder> holder;
    if (p.Check(procs_.lease.ReporterLeaseHolder(&holder))) {
      holder_ = holder.value_or(LeaseHolder{}).name;
    }
    env_.log.WriteNotice(CopyText(), p.name());
    front_end_.Notice(CopyText());
  }
  copy_ = copy;
  return true;
}

bool MarktTransp::KeepLease(Procedure& p) {
  bool held = false;
  if (!AskForLease(p, &held)) return false;
  if (!held) {
    if (standby_) {
      ShowStandby(p);
    } else {
      BecomeStandby("Haupt_Timer_Timer");
    }
    return true;
  }
  if (standby_) TakeOver(p);
  return true;
}

MarktTransp::StepLease MarktTransp::BeginStep(Procedure& p) {
  const std::int64_t asked_at = env_.clock.ElapsedMs();
  bool held = false;
  const Status begun = procs_.lease.BeginLeasedStep(&held);
  if (begun.code() == kErrConnectionLost) {
    // Nothing can be written on a lost connection: the step notices the
    // loss itself, under its own name, as it would without a lease.
    lost_at_begin_ = begun;
    return StepLease::kNoConnection;
  }
  if (LeaseRefused(p, begun)) return StepLease::kNotConfirmed;
  if (!held) return StepLease::kLost;
  LeaseConfirmed(asked_at);
  return StepLease::kConfirmed;
}

MarktTransp::StepLease MarktTransp::EndStep(Procedure& p) {
  if (env_.log.LetzterFehler() == kErrConnectionLost) {
    // Logged by the step; the server rolls back what it began.
    procs_.lease.AbandonLeasedStep();
    return StepLease::kNotConfirmed;
  }
  const std::int64_t asked_at = env_.clock.ElapsedMs();
  bool held = false;
  if (LeaseRefused(p, procs_.lease.EndLeasedStep(&held))) {
    // Rolled back: what this run holds in memory is no longer what the
    // database has. The database decides, as after a takeover.
    resume_ = true;
    vars_.AblaufStatus = kIdle;
    return StepLease::kNotConfirmed;
  }
  if (!held) return StepLease::kLost;
  LeaseConfirmed(asked_at);
  committed_until_ms_ = lease_until_ms_;
  return StepLease::kConfirmed;
}

void MarktTransp::LeaseLost(Procedure& p) {
  // Another instance (or a copy of this one) reports now.
  lease_until_ms_ = 0;
  if (!KeepLease(p) || standby_) return;
  // Run out and taken again by this process: the database may have been
  // another's in between, so it is read afresh.
  resume_ = true;
  vars_.AblaufStatus = kIdle;
}

void MarktTransp::BecomeStandby(const std::string& procedure) {
  standby_ = true;
  resume_ = false;
  // The job under way is abandoned, as after a lost connection: whatever it
  // left pending is in the database for the instance that reports now.
  vars_.AblaufStatus = kIdle;
  vars_.ManuellAnforderung = kNoManualRequest;
  vars_.SendeDaten.clear();
  vars_.SendeArt.clear();
  vars_.AktuelleUrl.clear();
  Procedure p(env_.log, procedure);
  p.Run([&] { env_.service.SetManualTransferOpen(true); });
  watch_.Stop();
  ShowStandby(p);
  const std::string text = StandbyText().append("; dieser Dienst sendet nichts mehr");
  env_.log.WriteNotice(text, procedure);
  front_end_.Notice(text);
  if (operations_ != nullptr) p.Run([&] { operations_->Active(false); });
}

void MarktTransp::TakeOver(Procedure& p) {
  std::string text = "Aktiver Dienst übernommen (bisher ";
  text.append(holder_).append(", seit ").append(holder_since_).append(" ohne Erneuerung)");
  env_.log.WriteNotice(text, "Haupt_Timer_Timer");
  front_end_.Notice(text);
  standby_ = false;
  copy_ = false;
  if (operations_ != nullptr) p.Run([&] { operations_->StandbyAlarm(""); });
  // The start once more, on the database as the other instance left it,
  // as the next tick's step under the lease.
  resume_ = true;
  vars_.AblaufStatus = kIdle;
  if (operations_ != nullptr) p.Run([&] { operations_->Active(true); });
}

void MarktTransp::Resume(Procedure& p) {
  resume_ = false;
  env_.log.ResetLetzterFehler();
  p.Run([&] { procs_.lease.ForgetRunState(); });
  const int16_t activated = vars_.AktivierungErfolgt;
  vars_ = SchedulerVariables();
  vars_.AktivierungErfolgt = activated;
  try {
    LoadMasterData(p);
  } catch (const ProgramEnd&) {
    End(1);
    return;
  }
  SynchroniseStations(p);
  StartStatus(p, " Velunor erfolgreich gestartet", true);
  if (env_.log.LetzterFehler() == kErrConnectionLost) {
    // Unlike the program's start, a resume that lost the database waits
    // for it like any step and then runs again.
    resume_ = true;
    return;
  }
  if (EndedByStartFailure()) return;
  RestoreAcknowledgements(p);
  // Prices changed while nobody reported go out with the next idle tick.
  vars_.TaktZaehler = 90;
}

}  // namespace velunor
