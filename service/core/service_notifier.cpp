#include "service/core/service_notifier.h"

#include <systemd/sd-daemon.h>
#include "shared/output_line.h"

namespace velunor {

namespace {

// "dd.mm.yyyy hh:mm:ss" that opens every status line.
constexpr size_t kTimeStampLength = 19;

void Notify(const std::string& state) {
  // Without NOTIFY_SOCKET this returns at once; a failure to reach the
  // service manager is not the service's to report.
  sd_notify(0, state.c_str());
}

}  // namespace

std::string ServiceStatusText(const WindowModel& window) {
  if (window.alarm().empty()) return window.info();
  return window.alarm() + " | " + window.info();
}

SystemdNotifier::SystemdNotifier(WindowModel& window) : window_(window) {
  window_.AddObserver(this);
}

SystemdNotifier::~SystemdNotifier() { window_.RemoveObserver(this); }

void SystemdNotifier::Ready() { Notify("READY=1"); }

void SystemdNotifier::Alive() { Notify("WATCHDOG=1"); }

void SystemdNotifier::Stopping() { Notify("STOPPING=1"); }

void SystemdNotifier::Changed(Control control, int) {
  if (control != Control::kInfo && control != Control::kAlarm) return;
  // The idle tick rewrites its line every second; the manager hears of a
  // new text, not of every new time stamp.
  const std::string& info = window_.info();
  const std::string key = window_.alarm() + "|" +
                          (info.size() > kTimeStampLength ? info.substr(kTimeStampLength) : info);
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
  const std::string status = ServiceStatusText(window_);
  Notify("STATUS=" + EscapeLine(problem_.empty() ? status : problem_ + " | " + status));
}

}  // namespace velunor
