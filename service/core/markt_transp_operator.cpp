// MarktTransp's operator side: the buttons, the tray icon's mouse events,
// the requests of the front ends and the unload.
#include <cstdio>

#include "service/common/procedure.h"
#include "service/core/markt_transp.h"

namespace velunor {

namespace {

std::string Hex(int value) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(value));
  return hex;
}

}  // namespace

void MarktTransp::Command1_Click(int index) {
  Procedure p(env_.log, "Command1_Click");
  p.Run([&] {
    if (env_.service.shutting_down()) return;
    switch (index) {
      case 0:
        env_.service.SetWindowShown(false);
        break;
      case 1:
        if (vars_.AblaufStatus != kIdle) return;
        vars_.AblaufStatus = kShutdown;
        env_.service.SetShuttingDown();
        break;
      case 2:
        if (vars_.AblaufStatus != kIdle || standby_ || !env_.service.manual_transfer_open()) return;
        env_.service.SetManualTransferOpen(false);
        vars_.ManuellAnforderung = kManualRequested;
        break;
      default:
        break;
    }
  });
}

bool MarktTransp::RequestShutdown() {
  if (vars_.AblaufStatus != kIdle && !IsWaitingForDatabase(vars_.AblaufStatus)) return false;
  vars_.AblaufStatus = kShutdown;
  env_.service.SetShuttingDown();
  return true;
}

bool MarktTransp::RequestManualTransfer() {
  const bool taken =
      IsIdle() && !standby_ && !env_.service.shutting_down() && env_.service.manual_transfer_open();
  Command1_Click(2);
  return taken;
}

void MarktTransp::Picture1_MouseMove(int x) {
  Procedure p(env_.log, "Picture1_MouseMove");
  p.Run([&] {
    // The window compares the message as hexadecimal text.
    const std::string message = Hex(x);
    if (message == Hex(kTrayLeftDown) || message == Hex(kTrayLeftDouble)) {
      env_.service.SetWindowShown(true);
      front_end_.ShowWindow();
    }
  });
}

void MarktTransp::Form_Unload() {
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

}  // namespace velunor
