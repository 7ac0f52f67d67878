// The service window MarktTransp: the handlers that the front ends call on
// the window's events (its load and activation, the main timer, the
// buttons, the tray icon's mouse, the unload), each under its own procedure
// name. The work is the scheduler's (scheduler.h); the window only passes on
// what the operator asked for. Single-threaded: the window's thread.
#pragma once

#include "service/core/scheduler.h"

namespace velunor {

class MarktTransp {
 public:
  // All three must outlive the window.
  MarktTransp(Env& env, FrontEnd& front_end, Scheduler& scheduler)
      : env_(env), front_end_(front_end), scheduler_(scheduler) {}

  void Form_Load();
  void Form_Activate() { scheduler_.Start(); }
  void Haupt_Timer_Timer() { scheduler_.Tick(); }
  void Command1_Click(int index);
  // `x` is the tray icon's mouse message in window units (15 per pixel).
  void Picture1_MouseMove(int x);
  void Form_Unload() { scheduler_.Unload(); }

  // The service manager's (or an operator's) request to stop, as
  // Scheduler::RequestShutdown.
  bool RequestShutdown() { return scheduler_.RequestShutdown(); }
  // The button "Manuelle Übertragung" pressed from elsewhere: whether it was taken.
  bool RequestManualTransfer();

  Scheduler& scheduler() { return scheduler_; }
  const Scheduler& scheduler() const { return scheduler_; }

  // The tray icon's mouse messages that restore the window, in window units.
  static constexpr int kTrayLeftDown = 0x201 * 15;    // 7695
  static constexpr int kTrayLeftDouble = 0x203 * 15;  // 7725

 private:
  Env& env_;
  FrontEnd& front_end_;
  Scheduler& scheduler_;
};

}  // namespace velunor
