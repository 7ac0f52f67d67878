#include "service/core/scheduler.h"

#include <cerrno>
#include <chrono>
#include <filesystem>

#include "service/common/end_program.h"
#include "service/common/procedure.h"
#include "service/common/zusatzfunktionen.h"
#include "service/core/komm_log.h"
#include "service/core/station_ini.h"
#include "service/db/preisdaten.h"
#include "service/db/reporter_lease.h"
#include "service/db/stationsdaten.h"
#include "shared/version.h"

namespace velunor {

namespace {

// The steps of the two chains that run one procedure: the state, its status
// text, the procedure, and the state that follows.
struct ChainStepRow {
  SchedulerState state;
  const char* status;
  Status (*run)(Procedures&);  // logs its own failures
  SchedulerState next;
};

constexpr ChainStepRow kChainSteps[] = {
    {kReadPrices, " Preisdaten aus Datenbank lesen",
     [](Procedures& p) { return p.db.DB_Get_MTS_StationsPreise(); }, kStorePrices},
    {kStorePrices, " Preisdatenexport vorbereiten",
     [](Procedures& p) { return p.db.DB_Preisdaten(); }, kBuildPriceLines},
    {kBuildPriceLines, " Preisdaten zusammenstellen",
     [](Procedures& p) { return p.publication.XML_Preisdaten(); }, kBuildPricePublication},
    {kBuildPricePublication, " Preisdaten zu XML aufbereiten",
     [](Procedures& p) { return p.publication.XML_Out_Preise(); }, kWrapPricePublication},
    {kPrepareStations, " Stationsdatenexport vorbereiten",
     [](Procedures& p) {
       int changed = 0;  // forced: every station is prepared, changed or not
       return p.db.DB_Stationsdaten(kStationSyncForced, &changed);
     },
     kBuildStationLines},
    {kBuildStationLines, " Stationsdaten zusammenstellen",
     [](Procedures& p) { return p.publication.XML_Stationsdaten(); }, kBuildStationPublication},
    {kBuildStationPublication, " Stationsdaten zu XML aufbereiten",
     [](Procedures& p) { return p.publication.XML_Out_Station(); }, kWrapStationPublication},
};

// The end of each chain: the publication in its envelope goes to its URL.
struct WrapRow {
  SchedulerState state;
  const char* kind;  // SendeArt
  std::string (ConfigurationQueries::*url)();
};

constexpr WrapRow kWraps[] = {
    {kWrapPricePublication, kPriceData, &ConfigurationQueries::UrlPreisdatenlieferung},
    {kWrapStationPublication, kStationData, &ConfigurationQueries::UrlGrunddatenlieferung},
};

// What a transmission's outcome records, by SendeArt: the publication kind
// whose acknowledgement or failure it is, the transfer-log row, and the state after a success
// (after a failure: idle).
struct OutcomeRow {
  const char* kind;
  PublicationKind publication;
  int success_code;
  const char* success_text;
  int failure_code;
  const char* failure_text;
  SchedulerState after_success;
};

constexpr OutcomeRow kOutcomes[] = {
    // A station transmission is always followed by a price export.
    {kStationData, PublicationKind::kStation, kTransferStationsOk,
     "Stationsdaten erfolgreich übertragen", kTransferStationsFailed,
     "Fehler bei der Stationsdaten-Übertragung", kReadPrices},
    {kPriceData, PublicationKind::kPrice, kTransferPricesOk, "Preisdaten erfolgreich übertragen",
     kTransferPricesFailed, "Fehler bei der Preisdaten-Übertragung", kIdle},
};

// The running number of a publication number "yyyy-nnnnnn": its text from
// the 6th character on, read as a number (0 when absent).
double Sequence(const std::string& publication_number) {
  return publication_number.size() < 6 ? 0.0 : NumberValue(publication_number.substr(5));
}

// What the operator reads on standard error when the database refused the
// connection; "" when the driver said nothing.
std::string ConnectNotice(const Status& connected) {
  return connected.message().empty() ? "" : "Datenbank meldet: " + connected.message();
}

// A lease unrenewed for its length and this long: the holder is gone and
// nobody took over.
constexpr std::int64_t kUnrenewedMarginSeconds = 30;
// No price acknowledged for this long: nobody reports.
constexpr std::int64_t kNobodyReportsSeconds = 5 * 60;
// A standby reads the last acknowledgement every so many ticks.
constexpr int kAcknowledgementTicks = 10;

}  // namespace

Scheduler::Scheduler(Env& env, Procedures procedures, FrontEnd& front_end, Configuration& config,
                     ServiceNotifier* notifier, OperationsSink* operations)
    : env_(env),
      procs_(procedures),
      front_end_(front_end),
      config_(config),
      notifier_(notifier),
      operations_(operations),
      lease_(env.clock, env.log, procedures.lease, front_end, operations),
      watch_(env, front_end),
      certificate_watch_(env, front_end) {}

void Scheduler::ShowStatus(const std::string& text, std::optional<int> code) {
  env_.service.SetStatusLine({env_.clock.Now(), vars_.AblaufStatus, text, code});
}

void Scheduler::End(int exit_code) {
  if (notifier_ != nullptr) notifier_->Stopping();
  TickDone(true);
  if (!unloaded_) Unload();
  front_end_.Quit(exit_code);
}

void Scheduler::Unload() {
  Procedure p(env_.log, "Form_Unload");
  unloaded_ = true;
  timer_enabled_ = false;
  // The lease goes with the last statement, so that a standby takes over
  // at its next tick instead of waiting for it to run out.
  p.Run([&] {
    procs_.lease.AbandonLeasedStep();
    if (!standby_) procs_.lease.ReleaseReporterLease();
  });
  p.Run([&] { procs_.db.DB_Trennen(); });
  p.Run([&] { front_end_.RemoveTrayIcon(); });
  p.Run([&] { front_end_.ProcessEvents(); });
}

bool Scheduler::RequestShutdown() {
  if (vars_.AblaufStatus != kIdle && !IsWaitingForDatabase(vars_.AblaufStatus)) return false;
  vars_.AblaufStatus = kShutdown;
  env_.service.SetShuttingDown();
  return true;
}

bool Scheduler::RequestManualTransfer() {
  if (!IsIdle() || standby_ || env_.service.shutting_down() ||
      !env_.service.manual_transfer_open()) {
    return false;
  }
  env_.service.SetManualTransferOpen(false);
  vars_.ManuellAnforderung = kManualRequested;
  return true;
}

void Scheduler::TickDone(bool stopping) {
  if (operations_ == nullptr) return;
  Procedure p(env_.log, "Haupt_Timer_Timer");
  p.Run([&] { operations_->TickDone(IsWaitingForDatabase(vars_.AblaufStatus), stopping); });
}

void Scheduler::StartStatus(Procedure& p, const std::string& text, bool repaint) {
  p.Run([&] {
    ShowStatus(text);
    if (repaint) front_end_.Repaint();
  });
}

void Scheduler::Start() {
  if (vars_.AktivierungErfolgt == 1) return;
  vars_.AktivierungErfolgt = 1;
  Procedure p(env_.log, "Form_Activate");

  StartStatus(p, " Programmstart", false);
  StartStatus(p, " Einlesen der Station.ini", false);
  LoadConfigurationFile(env_.files, config_, ConfigurationFile::kStationIni);
  const std::filesystem::path path = config_.StationIniPath();
  const Status& read = config_.station_ini_status;
  if (read.code() == ENOENT) {
    const std::string text = "Die Datei '" + path.string() + "' wurde nicht gefunden!";
    env_.log.Write(0, text, "Form_Activate", "");
    front_end_.Notice(text);
    End(1);
    return;
  }
  if (!read.ok()) {
    // Read as empty, the file would send the start to the local server's
    // default account, and the operator after the wrong problem.
    const std::string text =
        "Die Datei '" + path.string() + "' kann nicht gelesen werden: " + read.message();
    env_.log.Write(kErrPathFileAccess, text, "Form_Activate", "");
    front_end_.Notice(text + " -> " + StationIniUnreadableFix(path, read));
    End(1);
    return;
  }
  p.Run([&] {
    // The start goes on; the operator reading standard error is told once.
    const std::string exposure = StationIniExposure(env_.files, path);
    if (!exposure.empty()) front_end_.Notice(exposure);
    if (config_.station_ini.values_read < 4) {
      throw Failure(kErrInputPastEnd, "Eingabe hinter Dateiende: '" + path.string() + "' enthält " +
                                          std::to_string(config_.station_ini.values_read) +
                                          " von 4 Werten");
    }
  });

  StartStatus(p, " Verbindung zur Datenbank wird hergestellt", true);
  Status connected = Status::Error(0, "");
  p.Run([&] { connected = procs_.db.DB_Verbinden(); });
  if (!connected.ok()) {
    front_end_.MessageBox("Keine Verbindung zur Datenbank möglich", kProgramName);
    // The message names no cause; the driver's own words go to standard error.
    const std::string why = ConnectNotice(connected);
    if (!why.empty()) front_end_.Notice(why);
    End(1);
    return;
  }

  // Master data are only read: a standby checks its setup as well.
  LoadMasterData(p);
  bool reporter = procs_.lease.LeaseSeconds() == 0;
  bool answered = true;  // a lease that could not be asked for ends the start below
  if (!reporter) answered = lease_.Ask(p, &reporter);
  if (reporter && lease_.kept()) {
    // The start's writes under the lease as every later step's.
    const LeaseHold::Step begun = lease_.Begin(p);
    if (begun == LeaseHold::Step::kConfirmed) {
      SynchroniseStations(p);
      StartStatus(p, " Velunor erfolgreich gestartet", true);
      if (!StartRolledBack()) {
        const LeaseHold::Step ended = EndStep(p);
        if (ended != LeaseHold::Step::kConfirmed) resume_ = true;
        if (ended == LeaseHold::Step::kLost) standby_ = true;
      }
    } else {
      // Lost: the start ends as on any lost connection. Otherwise done
      // again, confirmed, by the first tick.
      if (begun == LeaseHold::Step::kNoConnection) p.Check(lease_.lost_at_begin());
      resume_ = true;
      standby_ = begun == LeaseHold::Step::kLost;
    }
    if (standby_) ShowStandby(p);
  } else if (reporter) {
    SynchroniseStations(p);
    StartStatus(p, " Velunor erfolgreich gestartet", true);
  } else if (!answered && env_.log.LetzterFehler() == 0) {
    // Two instances asked at the same moment: the first tick asks again.
    standby_ = true;
    StartStatus(p, " Aktiver Dienst nicht bestätigt, es wird nichts gesendet", true);
  } else if (answered) {
    standby_ = true;
    ShowStandby(p);
    const std::string text = lease_.StandbyText();
    env_.log.WriteNotice(text, "Form_Activate");
    front_end_.Notice(text);
  }

  vars_.TaktZaehler = 0;
  timer_enabled_ = true;
  p.Run([&] { front_end_.StartTimer(); });

  if (EndedByStartFailure()) return;
  if (!standby_) RestoreAcknowledgements(p);
  if (operations_ != nullptr) p.Run([&] { operations_->Active(!standby_); });
  if (notifier_ != nullptr) notifier_->Ready();
  CheckCertificate("Form_Activate");
  TickDone(false);
}

bool Scheduler::StartRolledBack() {
  if (!IsWriteConflict(env_.log.LetzterFehler())) return false;
  // Logged already; what the step wrote before the conflict is gone, and
  // what it wrote after it must not commit on its own.
  procs_.lease.AbandonLeasedStep();
  env_.log.ResetLetzterFehler();
  resume_ = true;
  return true;
}

bool Scheduler::EndedByStartFailure() {
  if (env_.log.LetzterFehler() == 0) return false;
  // The message names no cause; the operator reading standard error gets the last one.
  front_end_.Notice("Letzter Eintrag im Fehlerprotokoll: " + env_.log.last_entry());
  front_end_.MessageBox("Fehler beim Programmstart - wird beendet", kProgramName);
  End(1);
  return true;
}

void Scheduler::LoadMasterData(Procedure& p) {
  StartStatus(p, " LOX-Stammdaten einlesen", true);
  p.Run([&] { procs_.db.DB_LOXStammdaten(); });
  StartStatus(p, " Basisdaten konfigurieren", true);
  p.Run([&] { procs_.publication.XML_Init(); });
}

void Scheduler::SynchroniseStations(Procedure& p) {
  StartStatus(p, " Stationsdaten einlesen", true);
  p.Run([&] {
    int changed = 0;
    procs_.db.DB_Stationsdaten(kStationSyncCheck, &changed);
    if (changed >= 1) vars_.AblaufStatus = kBuildStationLines;
  });
  // Told once: a slow write on tables without transactions has its reason
  // on standard error.
  p.Run([&] {
    const std::string write_path = procs_.db.WritePath();
    if (!write_path.empty()) front_end_.Notice(write_path);
  });
  StartStatus(p, " Ausgabesätze Stationsdaten", true);
  p.Run([&] { procs_.publication.XML_Stationsdaten(); });
  StartStatus(p, " Ausgabesätze Preisdaten", true);
  p.Run([&] { procs_.publication.XML_Preisdaten(); });
}

void Scheduler::CheckCertificate(const std::string& procedure) {
  Procedure p(env_.log, procedure);
  std::optional<ClientCertificateEnd> end;
  p.Run([&] { end = procs_.configuration.ClientCertificate(); });
  certificate_watch_.Check(end, procedure);
  if (!end && !certificate_missing_) {
    // Nothing can be reported without it: said where an operator looks first.
    const std::string text = "Kein verwendbares Client-Zertifikat \"" +
                             procs_.configuration.ClientCertificateSubject() +
                             "\" (Velunor.CFG) mit privatem Schlüssel im Speicher \"MY\": "
                             "es kann nichts übertragen werden -> mit kestrin --list prüfen, "
                             "mit kestrin --set wählen";
    p.Run([&] { env_.log.WriteNotice(text, procedure); });
    front_end_.Notice(text);
  }
  certificate_missing_ = !end;
  if (operations_ == nullptr) return;
  p.Run([&] {
    operations_->ClientCertificate(end ? std::optional(end->not_after) : std::nullopt,
                                   certificate_watch_.warning());
  });
}

void Scheduler::RestoreAcknowledgements(Procedure& p) {
  KnownAcknowledgements known;
  p.Check(procs_.transmission.Acknowledgements(&known));
  const AcknowledgedAt& since = known.price ? *known.price : known.price_watched;
  watch_.Start(since.age_seconds, since.at);
  for (const OutcomeRow& row : kOutcomes) {
    const std::optional<AcknowledgedAt>& last =
        std::string(row.kind) == kStationData ? known.station : known.price;
    if (!last) continue;
    p.Run([&] {
      env_.service.SetAcknowledged(row.publication, last->number, last->at,
                                   env_.clock.EpochSeconds() - last->age_seconds);
      if (!last->number.empty()) env_.service.SetNumbered(row.publication, last->number, last->at);
    });
  }
}

void Scheduler::Tick() {
  if (unloaded_) return;
  if (notifier_ != nullptr) notifier_->Alive();
  Procedure p(env_.log, "Haupt_Timer_Timer");
  p.Run([&] { env_.service.SetClock(env_.clock.Now()); });
  if (vars_.TaktZaehler < 100) ++vars_.TaktZaehler;
  if (env_.log.LetzterFehler() == kErrConnectionLost && vars_.AblaufStatus < kWaitForDatabase) {
    vars_.AblaufStatus = kWaitForDatabase;
  }
  p.Run([&] {
    if (procs_.configuration.LpgExportAktiv() == 1) ++vars_.LpgTaktZaehler;
  });

  if (vars_.AblaufStatus == kShutdown) {
    p.Run([&] { env_.service.SetWindowShown(false); });
    End(0);
    return;
  }
  if (standby_) {
    // A lost connection is waited out and made again as by the reporter;
    // then the lease decides once more.
    if (IsWaitingForDatabase(vars_.AblaufStatus)) {
      WaitForDatabase(p);
    } else {
      KeepLease(p);  // takes over when the lease is free
    }
    if (!unloaded_) TickDone(false);
    return;
  }
  // Every step of the reporter is one transaction that begins by confirming
  // the lease at the database and commits only while it is still this
  // process's: a takeover cannot land in the middle of it, and a process
  // that was stopped or paused for any time writes nothing after its return.
  const bool fenced = lease_.kept() && !IsWaitingForDatabase(vars_.AblaufStatus);
  LeaseHold::Step begun = LeaseHold::Step::kConfirmed;
  if (fenced) {
    begun = lease_.Begin(p);
    if (begun == LeaseHold::Step::kNoConnection && vars_.AblaufStatus == kTransmit) {
      p.Check(lease_.lost_at_begin());
      begun = LeaseHold::Step::kNotConfirmed;
    }
    if (begun == LeaseHold::Step::kLost || begun == LeaseHold::Step::kNotConfirmed) {
      if (begun == LeaseHold::Step::kLost) {
        LeaseLost(p);
      } else {
        p.Run([&] { ShowStatus(" Aktiver Dienst nicht bestätigt, es wird nichts gesendet"); });
      }
      if (!unloaded_) TickDone(false);
      return;
    }
  }
  if (resume_ && IsWaitingForDatabase(vars_.AblaufStatus)) {
    // The start once more needs the database: it follows the reconnect.
    WaitForDatabase(p);
  } else if (resume_) {
    if (begun != LeaseHold::Step::kNoConnection) Resume(p);
  } else {
    // The price chain's steps are timed for the metrics, its transmission too.
    const int16_t state = vars_.AblaufStatus;
    const bool price_step = (state >= kReadPrices && state <= kWrapPricePublication) ||
                            (state == kTransmit && vars_.SendeArt == kPriceData);
    const auto started = std::chrono::steady_clock::now();
    Dispatch(p);
    if (price_step && operations_ != nullptr) {
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
      p.Run([&] { operations_->ChainStepTook(state, took.count()); });
    }
  }

  if (!standby_ && !unloaded_) {
    std::optional<std::int64_t> stations_since;
    p.Run([&] { stations_since = procs_.transmission.UnacknowledgedStationsSince(); });
    watch_.Check(stations_since);
  }
  if (certificate_watch_.Due()) CheckCertificate("Haupt_Timer_Timer");
  if (begun == LeaseHold::Step::kNoConnection) {
    if (env_.log.LetzterFehler() != kErrConnectionLost) p.Check(lease_.lost_at_begin());
  } else if (fenced && !unloaded_ && EndStep(p) == LeaseHold::Step::kLost) {
    LeaseLost(p);
  }
  if (!unloaded_) TickDone(false);
}

void Scheduler::Dispatch(Procedure& p) {
  if (vars_.AblaufStatus == kIdle) {
    Idle();
  } else if (vars_.AblaufStatus == kTransmit) {
    Transmit();
  } else if (!ChainStep(p) && !WrapPublication(p)) {
    WaitForDatabase(p);  // any other state does nothing
  }
}

bool Scheduler::ChainStep(Procedure& p) {
  for (const ChainStepRow& row : kChainSteps) {
    if (row.state != vars_.AblaufStatus) continue;
    p.Run([&] { ShowStatus(row.status); });
    p.Run([&] { row.run(procs_); });
    vars_.AblaufStatus = row.next;
    return true;
  }
  return false;
}

bool Scheduler::WrapPublication(Procedure& p) {
  for (const WrapRow& row : kWraps) {
    if (row.state != vars_.AblaufStatus) continue;
    p.Run([&] { vars_.SendeDaten = procs_.publication.SOAPEnvelope(); });
    vars_.SendeArt = row.kind;
    p.Run([&] { vars_.AktuelleUrl = (procs_.configuration.*row.url)(); });
    vars_.AblaufStatus = kTransmit;
    p.Run([&] { procs_.komm_log.KommLog(kKommLogClear); });
    return true;
  }
  return false;
}

void Scheduler::WaitForDatabase(Procedure& p) {
  int16_t& state = vars_.AblaufStatus;
  if (state >= kWaitForDatabase && state <= kLastWaitForDatabase) {
    p.Run([&] { ShowStatus(" DB-Verbindung verloren, warten...", state); });
    ++state;
  } else if (state == kAnnounceReconnect) {
    p.Run([&] { ShowStatus(" DB-Verbindung neu herstellen..."); });
    state = kReconnect;
  } else if (state == kReconnect) {
    env_.log.ResetLetzterFehler();
    Status connected = Status::Error(0, "");
    p.Run([&] { connected = procs_.db.DB_Verbinden(); });
    if (connected.ok()) {
      // Idle first: the status already belongs to the time after the wait.
      state = kIdle;
      p.Run([&] { ShowStatus(" DB-Verbindung erfolgreich hergestellt!"); });
      last_connect_notice_.clear();
      return;
    }
    p.Run([&] { ShowStatus(" Immer noch keine DB-Verbindung möglich!"); });
    state = kWaitForDatabase;
    // Why, once per new reason: the wait repeats every 17 ticks.
    const std::string why = ConnectNotice(connected);
    if (!why.empty() && why != last_connect_notice_) {
      last_connect_notice_ = why;
      front_end_.Notice(why);
    }
  }
}

void Scheduler::Idle() {
  Procedure p(env_.log, "Haupt_Timer_Timer");
  const DateTime now = env_.clock.Now();
  p.Run([&] { env_.service.SetStatusLine({now, vars_.AblaufStatus, " Warten auf Auftrag"}); });

  switch (vars_.ManuellAnforderung) {
    case kManualRequested:
      p.Run([&] { ShowStatus(" Manueller Stationsdatenexport aktiviert"); });
      vars_.AblaufStatus = kPrepareStations;
      vars_.ManuellAnforderung = kManualPricesDue;
      return;
    case kManualPricesDue:
      p.Run([&] { ShowStatus(" Manueller Preisdatenexport aktiviert"); });
      p.Run([&] { procs_.db.AktuellePreiseZuordnen(); });
      vars_.AblaufStatus = kReadPrices;
      vars_.TaktZaehler = -1;
      vars_.ManuellAnforderung = kManualPricesStarted;
      return;
    case kManualPricesStarted:
      vars_.ManuellAnforderung = kNoManualRequest;
      p.Run([&] { env_.service.SetManualTransferOpen(true); });
      break;
    default:
      break;
  }

  double station_sequence = 0;
  double price_sequence = 0;
  p.Run([&] { station_sequence = Sequence(procs_.publication.StationPublicationNumber()); });
  p.Run([&] { price_sequence = Sequence(procs_.publication.PricePublicationNumber()); });
  if (station_sequence == 0) {
    p.Run([&] { ShowStatus(" Grund-Stationsdatenexport aktiviert"); });
    vars_.AblaufStatus = kPrepareStations;
    return;
  }
  if (price_sequence == 0) {
    p.Run([&] { ShowStatus(" Grund-Preisdatenexport aktiviert"); });
    p.Run([&] { procs_.db.AktuellePreiseZuordnen(); });
    vars_.AblaufStatus = kStorePrices;  // the prices were just read
    vars_.TaktZaehler = -1;
    return;
  }

  if (vars_.TaktZaehler == 80) {
    p.Run([&] {
      ShowStatus(" Prüfung auf geänderte Stationsdaten");
      front_end_.Repaint();
    });
    int changes = 0;
    p.Run([&] { procs_.db.DB_Stationsdaten(kStationSyncCheck, &changes); });
    if (changes >= 1) {
      p.Run([&] { ShowStatus(" Verarbeitung geänderte Stationsdaten"); });
      vars_.AblaufStatus = kBuildStationLines;  // the stations are prepared already
      return;
    }
    // From 23:00 to 23:09; the morning's 04 o'clock hour arms it again.
    if (now.hour == 23 && now.minute < 10 && vars_.NachtlaufErledigt == 0) {
      vars_.NachtlaufErledigt = 1;
      p.Check(procs_.db.RunNightlyRefresh());
      return;
    }
    if (now.hour == 4 && vars_.NachtlaufErledigt == 1) {
      vars_.NachtlaufErledigt = 0;
      return;
    }
  }

  if (vars_.TaktZaehler > 90) {
    vars_.AblaufStatus = kReadPrices;
    vars_.TaktZaehler = 0;
    p.Run([&] { ShowStatus(" Automatischer Preisdatenexport"); });
    return;
  }
  if (vars_.LpgTaktZaehler > 600) {
    vars_.LpgTaktZaehler = 0;
    p.Run([&] { procs_.db.Gas_Tankstelle_Export(); });
  }
}

void Scheduler::Transmit() {
  Procedure p(env_.log, "Haupt_Timer_Timer");
  // A transaction that could not even be called has failed.
  Status sent = Status::Error(1, "");
  // It must not outlast the lease: the next instance may send after that.
  const std::int64_t limit_ms = lease_.TransmissionLimitMs();
  p.Run([&] {
    sent = procs_.transmission.SOAPTransaction(vars_.SendeDaten, vars_.SendeArt, vars_.AktuelleUrl,
                                               limit_ms);
  });
  const DateTime now = env_.clock.Now();
  vars_.AblaufStatus = kIdle;
  for (const OutcomeRow& row : kOutcomes) {
    if (vars_.SendeArt != row.kind) continue;
    if (!sent.ok()) {
      p.Run([&] {
        env_.service.SetFailed(row.publication, now,
                               {sent.code() == kErrPublicationRefused, sent.message()});
      });
      p.Run([&] { procs_.transmission.DB_TransferLog(row.failure_code, row.failure_text); });
      // A certificate removed or broken since the start shows at once.
      CheckCertificate("Haupt_Timer_Timer");
      return;
    }
    if (certificate_missing_) CheckCertificate("Haupt_Timer_Timer");
    if (vars_.SendeArt == kStationData) {
      p.Run([&] { procs_.transmission.StationPublicationAcknowledged(); });
    } else {
      watch_.PriceAcknowledged();
    }
    p.Run([&] {
      const std::string number = vars_.SendeArt == kStationData
                                     ? procs_.publication.StationPublicationNumber()
                                     : procs_.publication.PricePublicationNumber();
      env_.service.SetTransmitted(row.publication, number, now, env_.clock.EpochSeconds());
    });
    p.Run([&] { procs_.transmission.DB_TransferLog(row.success_code, row.success_text); });
    vars_.AblaufStatus = row.after_success;
    return;
  }
}

// The reporter lease: keeping it, fencing every step of the reporter by it,
// standing by while another instance reports (and saying so when nobody
// does), and taking over.
void Scheduler::ShowStandby(Procedure& p) {
  const std::optional<LeaseHolder> holder = lease_.LookAtHolder(p);
  std::string alarm;
  if (lease_.copy()) {
    alarm = lease_.CopyText();
    p.Run([&] { ShowStatus(" " + alarm); });
  } else {
    p.Run([&] { ShowStatus(std::string(" ").append(lease_.StandbyText())); });
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

bool Scheduler::KeepLease(Procedure& p) {
  bool held = false;
  if (!lease_.Ask(p, &held)) return false;
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

LeaseHold::Step Scheduler::EndStep(Procedure& p) {
  const LeaseHold::Step ended = lease_.End(p);
  if (ended != LeaseHold::Step::kRolledBack) return ended;
  // The database decides, as after a takeover.
  resume_ = true;
  vars_.AblaufStatus = kIdle;
  return LeaseHold::Step::kNotConfirmed;
}

void Scheduler::LeaseLost(Procedure& p) {
  // Another instance (or a copy of this one) reports now.
  if (!KeepLease(p) || standby_) return;
  // Run out and taken again by this process: the database may have been
  // another's in between, so it is read afresh.
  resume_ = true;
  vars_.AblaufStatus = kIdle;
}

void Scheduler::BecomeStandby(const std::string& procedure) {
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
  const std::string text = lease_.StandbyText().append("; dieser Dienst sendet nichts mehr");
  env_.log.WriteNotice(text, procedure);
  front_end_.Notice(text);
  if (operations_ != nullptr) p.Run([&] { operations_->Active(false); });
}

void Scheduler::TakeOver(Procedure& p) {
  const std::string text = lease_.TakeOverText();
  env_.log.WriteNotice(text, "Haupt_Timer_Timer");
  front_end_.Notice(text);
  standby_ = false;
  if (operations_ != nullptr) p.Run([&] { operations_->StandbyAlarm(""); });
  // The start once more, on the database as the other instance left it,
  // as the next tick's step under the lease.
  resume_ = true;
  vars_.AblaufStatus = kIdle;
  if (operations_ != nullptr) p.Run([&] { operations_->Active(true); });
}

void Scheduler::Resume(Procedure& p) {
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
  if (StartRolledBack() || EndedByStartFailure()) return;
  RestoreAcknowledgements(p);
  // Prices changed while nobody reported go out with the next idle tick.
  vars_.TaktZaehler = 90;
}

}  // namespace velunor
