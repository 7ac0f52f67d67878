// The scheduler: the start-up sequence, the main timer's state machine with
// its two chains and the transmission, standing by and taking over (its hold
// on the reporter lease is lease_hold.h), the operator's requests and the end. It runs on the
// window's thread, called by the service window (markt_transp.h) under the window's procedure
// names, and follows the log-and-go-on convention. Its variables are its own; tests put it into a
// state through EnterState.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "service/common/env.h"
#include "service/common/procedure.h"
#include "service/core/certificate_watch.h"
#include "service/core/compliance_watch.h"
#include "service/core/configuration.h"
#include "service/core/front_end.h"
#include "service/core/lease_hold.h"
#include "service/core/procedures.h"
#include "service/core/scheduler_variables.h"
#include "service/core/service_notifier.h"
#include "service/status/operations_sink.h"

namespace velunor {

class Scheduler {
 public:
  // Every argument must outlive the scheduler; the start sequence reads
  // STATION.INI into `config`. `notifier` (may be null) hears of the start,
  // every tick and the end, `operations` (may be null) of the price chain's
  // steps and of every tick's end.
  Scheduler(Env& env, Procedures procedures, FrontEnd& front_end, Configuration& config,
            ServiceNotifier* notifier = nullptr, OperationsSink* operations = nullptr);
  Scheduler(const Scheduler&) = delete;
  Scheduler& operator=(const Scheduler&) = delete;

  // The start-up sequence ("Form_Activate"); runs once. A configuration
  // fault escapes as ProgramEnd.
  void Start();
  // One tick of the main timer ("Haupt_Timer_Timer").
  void Tick();
  // The end ("Form_Unload"): the lease released, the database left, the
  // tray icon removed; no tick acts afterwards.
  void Unload();

  // The service manager's (or an operator's) request to stop: taken like
  // "Beenden" when idle, and also while the database connection is lost
  // (nothing is pending then that a restart would not redo). False when a
  // job is running; ask again at a later tick.
  bool RequestShutdown();
  // "Manuelle Übertragung": false when a job runs, this instance stands by,
  // it is ending or a manual transfer is already under way (the button is
  // disabled); nothing is kept for later.
  bool RequestManualTransfer();
  // True in the idle state, where the operator's buttons act.
  bool IsIdle() const { return vars_.AblaufStatus == kIdle; }
  // The scheduler's variables as they stand, for display.
  SchedulerVariables Snapshot() const { return vars_; }
  // The state whose step the next tick runs.
  SchedulerState state() const { return static_cast<SchedulerState>(vars_.AblaufStatus); }

  // For tests: the scheduler as earlier ticks would have left it, in
  // `state`, whose step the next tick runs, or with its tick counters at the
  // given counts (the next tick adds one).
  void EnterState(SchedulerState state) { vars_.AblaufStatus = state; }
  void SetTaktZaehler(int32_t ticks) { vars_.TaktZaehler = ticks; }
  void SetLpgTaktZaehler(int32_t ticks) { vars_.LpgTaktZaehler = ticks; }

  // True while another instance holds the reporter lease: this one writes
  // and sends nothing and waits to take over.
  bool standby() const { return standby_; }
  bool timer_enabled() const { return timer_enabled_; }
  bool unloaded() const { return unloaded_; }
  const ComplianceWatch& compliance() const { return watch_; }

 private:
  // The status line: now, in the current scheduler state, `text` and `code`.
  void ShowStatus(const std::string& text, std::optional<int> code = std::nullopt);
  // One step of a chain (states 1 to 4 and 30 to 32); false when `state` is none.
  bool ChainStep(Procedure& p);
  // States 10 and 40: the envelope and the transmission under way.
  bool WrapPublication(Procedure& p);
  void WaitForDatabase(Procedure& p);
  void Idle();
  void Transmit();
  void End(int exit_code);      // unload and leave the event loop
  void Dispatch(Procedure& p);  // the tick's work for the current state
  void TickDone(bool stopping);
  void CheckCertificate(const std::string& procedure);
  // The clock of the five minutes and the last publications, as the database
  // knows them from earlier runs.
  void RestoreAcknowledgements(Procedure& p);

  // The start's steps after the connection: master data and the frames
  // (reading only), then, as the reporter, the station synchronisation and
  // the first output lines.
  void LoadMasterData(Procedure& p);
  void SynchroniseStations(Procedure& p);
  // A status text of the start, repainted at once when `repaint`.
  void StartStatus(Procedure& p, const std::string& text, bool repaint);
  // Takes or renews the reporter lease (each tick of a standby, and when
  // the reporter's own has gone); becomes the standby when another instance
  // holds it, and takes over when it is free. False when the database did
  // not answer.
  bool KeepLease(Procedure& p);
  // The end of a step under the lease; a commit the server refused leaves
  // the database to decide, as after a takeover (kNotConfirmed).
  LeaseHold::Step EndStep(Procedure& p);
  // A step found the lease another's: stand by, or read the database afresh.
  void LeaseLost(Procedure& p);
  // After the start's steps: an error logged among them ends the program
  // (true) with the last entry on standard error.
  bool EndedByStartFailure();
  // After the start's steps under the lease: a write conflict among them (a
  // deadlock, a Galera node's certification conflict) made the server roll
  // the step back. That is no fault of the setup, so instead of ending the
  // program the step is abandoned and the start's steps run again at the
  // next tick (true).
  bool StartRolledBack();
  void BecomeStandby(const std::string& procedure);
  // The standby's line and its alarm: the holder has stopped renewing, or
  // no price has been acknowledged for five minutes.
  void ShowStandby(Procedure& p);
  void TakeOver(Procedure& p);
  // The start's steps once more, on the database as it is now.
  void Resume(Procedure& p);

  Env& env_;
  Procedures procs_;
  FrontEnd& front_end_;
  SchedulerVariables vars_;
  Configuration& config_;
  ServiceNotifier* notifier_;
  OperationsSink* operations_;
  LeaseHold lease_;
  ComplianceWatch watch_;
  CertificateWatch certificate_watch_;
  bool timer_enabled_ = false;
  bool unloaded_ = false;
  std::string last_connect_notice_;   // the reconnect failure last written to standard error
  bool certificate_missing_ = false;  // said so; again only after one was found
  bool standby_ = false;
  bool resume_ = false;  // the next step is the start's steps once more
  int standby_ticks_ = 0;
  std::int64_t price_silent_seconds_ =
      0;  // since the last price acknowledgement, as the database knows
};

}  // namespace velunor
