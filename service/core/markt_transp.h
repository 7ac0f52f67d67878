// The service window MarktTransp: its load and activation (the start-up
// sequence), the main timer's state machine, the buttons, the tray icon's
// mouse events and the unload. All handlers run on the window's thread and
// follow the log-and-go-on convention under their own names.
#pragma once

#include <cstdint>
#include <string>

#include "service/common/env.h"
#include "service/core/compliance_watch.h"
#include "service/core/front_end.h"
#include "service/core/procedures.h"
#include "service/core/service_notifier.h"

namespace velunor {

// Where Form_Activate puts the values of STATION.INI.
struct StationIniTarget {
  std::string* DbServer;
  std::string* DbBenutzer;
  std::string* DbPasswort;
};

class MarktTransp {
 public:
  // `notifier` (may be null) hears of the start, every tick and the end.
  MarktTransp(Env& env, Procedures& procedures, FrontEnd& front_end, StationIniTarget ini,
              ServiceNotifier* notifier = nullptr);

  void Form_Load();
  // The start-up sequence; runs once. A configuration fault escapes as ProgramEnd.
  void Form_Activate();
  void Haupt_Timer_Timer();
  void Command1_Click(int index);
  // `x` is the tray icon's mouse message in window units (15 per pixel).
  void Picture1_MouseMove(int x);
  void Form_Unload();

  // The service manager's (or an operator's) request to stop: taken like
  // "Beenden" when idle, and also while the database connection is lost
  // (nothing is pending then that a restart would not redo). False when a
  // job is running; ask again at a later tick.
  bool RequestShutdown();
  // True in the idle state, where the operator's buttons act.
  bool IsIdle() const { return AblaufStatus == 0; }

  // Scheduler state, readable (and settable) for tests and the front ends.
  int16_t AblaufStatus = 0;
  int32_t TaktZaehler = 0;
  int16_t ManuellAnforderung = 0;
  int16_t NachtlaufErledigt = 0;
  int32_t LpgTaktZaehler = 0;
  std::string SendeDaten;
  std::string SendeArt;
  std::string AktuelleUrl;
  int16_t AktivierungErfolgt = 0;
  bool timer_enabled() const { return timer_enabled_; }
  bool unloaded() const { return unloaded_; }
  const ComplianceWatch& compliance() const { return watch_; }

  static constexpr int kTrayLeftDown = 7695;    // 0x201 * 15
  static constexpr int kTrayLeftDouble = 7725;  // 0x203 * 15

 private:
  void Status(const std::string& text);  // Info := now + text
  void Idle();
  void Transmit();
  void End(int exit_code);  // unload and leave the event loop

  Env& env_;
  Procedures& procs_;
  FrontEnd& front_end_;
  StationIniTarget ini_;
  ServiceNotifier* notifier_;
  ComplianceWatch watch_;
  std::string last_connect_notice_;  // the reconnect failure last written to standard error
  bool timer_enabled_ = false;
  bool unloaded_ = false;
};

// "hh:mm:ss Uhr", the status bar's clock.
std::string ClockPanelText(const Clock& clock);

}  // namespace velunor
