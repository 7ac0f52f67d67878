// The front end without a window: status lines (when their text changes),
// communication lines and message texts go to standard output, one line each, flushed
// at once (messages also to
// standard error), and a loop delivers the timer ticks. SIGTERM/SIGINT act
// like "Beenden" at the next idle tick (a second one ends at once through the
// unload); SIGUSR1 acts like "Manuelle Übertragung" (no effect while a job
// runs, and not kept for later). While the database is lost (a status line
// set in a state of the wait), each status text is printed once (texts that
// differ only in their code count as one), then a wait line at most once a
// minute with how long it has lasted; a normal end prints a closing line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <set>
#include <string>

#include "service/common/clock.h"
#include "service/core/front_end.h"
#include "service/core/markt_transp.h"

namespace velunor {

class HeadlessFrontEnd : public FrontEnd, public StateObserver {
 public:
  // `clock` measures how long a lost database has lasted.
  HeadlessFrontEnd(ServiceState& state, const Clock& clock, std::FILE* out, std::FILE* err);
  ~HeadlessFrontEnd() override;
  HeadlessFrontEnd(const HeadlessFrontEnd&) = delete;
  HeadlessFrontEnd& operator=(const HeadlessFrontEnd&) = delete;

  void MessageBox(const std::string& text, const std::string& title) override;
  void Repaint() override;
  void AddTrayIcon() override {}
  void RemoveTrayIcon() override {}
  void ShowWindow() override {}
  void ProcessEvents() override {}
  void StartTimer() override { timer_ = true; }
  void Quit(int exit_code) override;
  void StateChanged(Aspect aspect, int index) override;

  // Runs the timer until the window quits; ticks every `tick_ms`, at most
  // `max_ticks` before the normal shutdown is requested (0: no limit).
  // Returns the exit code. REQUIRES: the signals are blocked (BlockSignals).
  int Run(MarktTransp& window, int tick_ms, long max_ticks);

  bool quit() const { return quit_; }
  int exit_code() const { return exit_code_; }

  // Blocks SIGTERM, SIGINT and SIGUSR1 so that Run receives them synchronously.
  static void BlockSignals();

 private:
  ServiceState& state_;
  std::FILE* out_;
  std::FILE* err_;
  // One stretch of a lost database: when it began, when a wait line was
  // last printed, and the status texts already printed in it.
  struct LostDatabase {
    std::int64_t since = 0;
    std::int64_t last_print = 0;
    std::set<std::string> printed;
  };
  void PrintWhileLost(const StatusLine& line);

  const Clock& clock_;
  static constexpr std::int64_t kReminderSeconds = 60;
  std::string last_status_;
  std::optional<LostDatabase> lost_;
  bool timer_ = false;
  bool quit_ = false;
  int exit_code_ = 0;
};

}  // namespace velunor
