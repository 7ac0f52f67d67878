// Telling the service manager how the service stands: ready after a good
// start, its status line, alive once per tick, stopping at the end. The
// systemd one speaks through libsystemd's sd_notify and does nothing where
// no NOTIFY_SOCKET is set (a desktop, a test run). Single-threaded.
#pragma once

#include <string>

#include "service/common/service_state.h"

namespace velunor {

class ServiceNotifier {
 public:
  virtual ~ServiceNotifier() = default;
  virtual void Ready() = 0;
  virtual void Alive() = 0;  // the watchdog's heartbeat
  virtual void Stopping() = 0;
  // A standing problem the manager shows before the status line until it
  // is set to "" again.
  virtual void Problem(const std::string& text) { (void)text; }
};

// The status shown by "systemctl status": the alarm, when there is one,
// before the status line.
std::string ServiceStatusText(const ServiceState& state);

// Sends READY=1, WATCHDOG=1, STOPPING=1 and, whenever the status line's text
// or the alarm changes, STATUS=. Observes `state` from construction to
// destruction.
class SystemdNotifier : public ServiceNotifier, public StateObserver {
 public:
  explicit SystemdNotifier(ServiceState& state);
  ~SystemdNotifier() override;
  SystemdNotifier(const SystemdNotifier&) = delete;
  SystemdNotifier& operator=(const SystemdNotifier&) = delete;

  void Ready() override;
  void Alive() override;
  void Stopping() override;
  void Problem(const std::string& text) override;
  void StateChanged(Aspect aspect, int index) override;

 private:
  void SendStatus();

  ServiceState& state_;
  std::string last_status_;
  std::string problem_;
};

}  // namespace velunor
