#include "service/core/service_notifier.h"

#include <systemd/sd-daemon.h>
#include "shared/output_line.h"

namespace velunor {

namespace {

void Notify(const std::string& state) {
  // Without NOTIFY_SOCKET this returns at once; a failure to reach the
  // service manager is not the service's to report.
  sd_notify(0, state.c_str());
}

}  // namespace

std::string ServiceStatusText(const ServiceState& state) {
  const std::string line = StatusLineText(state.status_line());
  if (!state.alarm_raised()) return line;
  return state.alarm() + " | " + line;
}

SystemdNotifier::SystemdNotifier(ServiceState& state) : state_(state) { state_.AddObserver(this); }

SystemdNotifier::~SystemdNotifier() { state_.RemoveObserver(this); }

void SystemdNotifier::Ready() { Notify("READY=1"); }

void SystemdNotifier::Alive() { Notify("WATCHDOG=1"); }

void SystemdNotifier::Stopping() { Notify("STOPPING=1"); }

void SystemdNotifier::StateChanged(Aspect aspect, int) {
  if (aspect != Aspect::kStatusLine && aspect != Aspect::kAlarm) return;
  // The idle tick rewrites its line every second; the manager hears of a
  // new text, not of every new time stamp.
  const std::string key = state_.alarm() + "|" + StatusLineWithoutTime(state_.status_line());
  if (key == last_status_) return;
  last_status_ = key;
  SendStatus();
}

void SystemdNotifier::Problem(const std::string& text) {
  if (text == problem_) return;
  problem_ = text;
  SendStatus();
}

void SystemdNotifier::SendStatus() {
  const std::string status = ServiceStatusText(state_);
  Notify("STATUS=" + EscapeLine(problem_.empty() ? status : problem_ + " | " + status));
}

}  // namespace velunor
