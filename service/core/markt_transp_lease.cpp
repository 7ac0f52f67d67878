// MarktTransp's part in the reporter lease: asking for and keeping it,
// standing by while another instance reports, and taking over from it.
#include "service/common/end_program.h"
#include "service/common/zusatzfunktionen.h"
#include "service/core/markt_transp.h"

namespace velunor {

namespace {

// Taken off the lease's end: the server may count the lease from a moment
// up to a second earlier than this machine asked (now() in whole seconds),
// and the two clocks may run at slightly different rates.
constexpr std::int64_t kLeaseMarginMs = 2000;

}  // namespace

std::string MarktTransp::StandbyText() const {
  std::string text = "Bereitschaft: aktiver Dienst ist ";
  return text.append(holder_).append(" (seit ").append(holder_since_).append(")");
}

void MarktTransp::ShowStandby(Procedure& p) {
  std::optional<LeaseHolder> holder;
  p.Run([&] { holder = procs_.lease.ReporterLeaseHolder(); });
  // Worked out once per holder: the two clocks' seconds do not tick
  // together, and the line must not change with every tick.
  if (holder && holder->token != holder_token_) {
    holder_ = holder->name;
    holder_token_ = holder->token;
    holder_since_ = DateTimeText(AddSeconds(env_.clock.Now(), -holder->held_seconds));
  }
  p.Run([&] { Status(std::string(" ").append(StandbyText())); });
}

bool MarktTransp::LeaseValid() const {
  return procs_.lease.LeaseSeconds() == 0 || env_.clock.ElapsedMs() < lease_until_ms_;
}

bool MarktTransp::AskForLease(Procedure& p, bool* held) {
  const std::int64_t asked_at = env_.clock.ElapsedMs();
  *held = false;
  if (!p.Check(procs_.lease.TakeReporterLease(held))) return false;
  lease_until_ms_ = *held ? asked_at + procs_.lease.LeaseSeconds() * 1000LL - kLeaseMarginMs : 0;
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

void MarktTransp::BecomeStandby(const std::string& procedure) {
  standby_ = true;
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
  // The start once more, on the database as the other instance left it.
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
  if (EndedByStartFailure()) return;
  RestoreAcknowledgements(p);
  // Prices changed while nobody reported go out with the next idle tick.
  vars_.TaktZaehler = 90;
  if (operations_ != nullptr) p.Run([&] { operations_->Active(true); });
}

}  // namespace velunor
