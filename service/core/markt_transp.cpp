#include "service/core/markt_transp.h"

#include <cstdio>

#include "service/common/procedure.h"
#include "shared/version.h"

namespace velunor {

namespace {

std::string Hex(int value) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(value));
  return hex;
}

}  // namespace

void MarktTransp::Form_Load() {
  Procedure p(env_.log, "Form_Load");
  p.Run([&] {
    env_.service.SetTitle("Datenübergabe an die Markttransparenzstelle",
                          std::string("Velunor V ") + kVersion);
  });
  p.Run([&] { env_.service.SetClock(env_.clock.Now()); });
  p.Run([&] { front_end_.AddTrayIcon(); });
}

void MarktTransp::Command1_Click(int index) {
  Procedure p(env_.log, "Command1_Click");
  p.Run([&] {
    if (env_.service.shutting_down()) return;
    switch (index) {
      case 0:
        env_.service.SetWindowShown(false);
        break;
      case 1:
        if (scheduler_.IsIdle()) scheduler_.RequestShutdown();
        break;
      case 2:
        scheduler_.RequestManualTransfer();
        break;
      default:
        break;
    }
  });
}

bool MarktTransp::RequestManualTransfer() {
  bool taken = false;
  Procedure p(env_.log, "Command1_Click");
  p.Run([&] { taken = scheduler_.RequestManualTransfer(); });
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

}  // namespace velunor
