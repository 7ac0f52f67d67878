// The program velunor as a process of its own for the end-to-end tests:
// started headless with libfaketime preloaded, so that its clock begins at a
// chosen local time and runs on from there, with standard output and
// standard error captured in files. The object owns the process: one still running when it
// goes is killed and reaped.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_base.h"

namespace velunor::testing {

class ServiceProcess {
 public:
  struct Options {
    std::filesystem::path program_dir{};
    std::filesystem::path cert_store{};  // empty: the service's default in the program directory
    std::filesystem::path output_dir{};  // gets stdout.txt and stderr.txt
    std::string start_time = "2026-12-06 09:05:00";
    int tick_ms = 20;
    long ticks = 0;                          // 0: no limit, the test ends the run with a signal
    std::vector<std::string> environment{};  // "NAME=value" added to the test's own
    std::vector<std::string> arguments{};    // added to the command line
    // Runs velunor through this command, which gets velunor's command line
    // as its arguments and must exec it (a shell that sets a limit first).
    std::vector<std::string> command_prefix{};
    // Handed to velunor as its fd 3, as the service manager hands over a
    // socket; -1: none.
    int fd3 = -1;
  };

  // Starts `binary`; throws std::runtime_error when it cannot be started.
  ServiceProcess(const std::filesystem::path& binary, Options options);
  ~ServiceProcess();
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  // Waits up to `seconds` for the end. Returns the exit status, 128 + the
  // signal's number when a signal ended it, or -1 when it did not end in
  // time (it is killed then).
  int Wait(double seconds);
  void Signal(int signal_number) const;
  // SIGTERM, as the service manager stops it, then Wait(`seconds`).
  int Stop(double seconds = 30) {
    Signal(SIGTERM);
    return Wait(seconds);
  }
  // False once the process has ended (it is reaped then; Wait returns -1).
  bool Running();

  pid_t pid() const { return pid_; }
  std::string Stdout() const;
  // The status page's port the service announces on standard output
  // ("Statusseite unter http://127.0.0.1:PORT/"); 0 when none within `seconds`.
  int AnnouncedStatusPort(double seconds = 20) const;
  std::string Stderr() const;

 private:
  Options options_;
  pid_t pid_ = -1;
};

// One of several instances on one database: velunor on `program_dir` as
// `name` with a reporter lease of `lease_seconds`, its output in `output_dir`.
ServiceProcess::Options InstanceOptions(const std::filesystem::path& program_dir,
                                        const std::filesystem::path& cert_store,
                                        const std::filesystem::path& output_dir,
                                        const std::string& name, int lease_seconds);

// The transmissions a program directory's service made, by its archive:
// "kind-number-outcome" each, sorted.
std::vector<std::string> ArchivedTransmissions(const std::filesystem::path& program_dir);

}  // namespace velunor::testing
