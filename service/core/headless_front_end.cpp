#include "service/core/headless_front_end.h"

#include <signal.h>
#include <time.h>

#include <cerrno>
#include <chrono>

#include "service/core/scheduler_variables.h"
#include "shared/output_line.h"

namespace velunor {

namespace {

// "1 Minute", "25 Minuten", "2 Stunden 5 Minuten".
std::string Lasted(std::int64_t seconds) {
  const std::int64_t minutes = seconds / 60;
  const std::int64_t hours = minutes / 60;
  const std::int64_t rest = minutes % 60;
  std::string text;
  if (hours > 0) text = std::to_string(hours) + (hours == 1 ? " Stunde" : " Stunden");
  if (hours == 0 || rest > 0) {
    if (!text.empty()) text += " ";
    text += std::to_string(rest) + (rest == 1 ? " Minute" : " Minuten");
  }
  return text;
}

}  // namespace

HeadlessFrontEnd::HeadlessFrontEnd(ServiceState& state, const Clock& clock, std::FILE* out,
                                   std::FILE* err)
    : state_(state), out_(out), err_(err), clock_(clock) {
  state_.AddObserver(this);
}

HeadlessFrontEnd::~HeadlessFrontEnd() { state_.RemoveObserver(this); }

void HeadlessFrontEnd::MessageBox(const std::string& text, const std::string&) {
  PrintLine(out_, text);
  if (err_ != nullptr) PrintLine(err_, "velunor: " + text);
}

void HeadlessFrontEnd::Repaint() { std::fflush(out_); }

void HeadlessFrontEnd::Quit(int exit_code) {
  quit_ = true;
  exit_code_ = exit_code;
  // An aborted start has said why already; a normal end would otherwise
  // leave the journal at the last status line, as if the service hung there.
  if (exit_code == 0) {
    PrintLine(out_, "velunor: beendet");
    std::fflush(out_);
  }
}

void HeadlessFrontEnd::StateChanged(Aspect aspect, int index) {
  if (aspect == Aspect::kStatusLine) {
    // The idle tick writes " Warten auf Auftrag" every second: a status is
    // printed when its text changes, not when only its time stamp does.
    const std::optional<StatusLine>& line = state_.status_line();
    const std::string text = StatusLineWithoutTime(line);
    if (line && line->scheduler_state && IsWaitingForDatabase(*line->scheduler_state)) {
      // One line a second for as long as the database stays away would
      // bury everything else in the journal.
      PrintWhileLost(*line);
      return;
    }
    lost_.reset();
    if (text == last_status_) return;
    last_status_ = text;
    PrintLine(out_, StatusLineText(line));
  } else if (aspect == Aspect::kPriceWarning && index >= 0) {
    // The journal's line of the warning; an ended one needs none.
    PrintLine(out_,
              "velunor: " + PriceWarningText(state_.price_warnings()[static_cast<size_t>(index)]));
  } else if (aspect == Aspect::kCommunication && index >= 0) {
    // Escaped once already, when it was logged.
    std::fprintf(out_, "%s\n", state_.communication()[static_cast<size_t>(index)].c_str());
  } else {
    return;
  }
  // Standard output of an unattended service is a pipe or a file, which the
  // C library buffers in blocks: without this, a status line would reach the
  // journal kilobytes later, or never when the process is killed.
  std::fflush(out_);
}

void HeadlessFrontEnd::PrintWhileLost(const StatusLine& line) {
  const std::int64_t now = clock_.EpochSeconds();
  last_status_ = StatusLineWithoutTime(line);
  if (!lost_) lost_ = LostDatabase{now, now, {}};
  // The wait's steps are one wait: its text counts, not its code.
  if (lost_->printed.insert(line.text).second) {
    PrintLine(out_, StatusLineText(line));
  } else if (line.code && now - lost_->last_print >= kReminderSeconds) {
    PrintLine(out_, StatusLineText(line) + " - seit " + Lasted(now - lost_->since));
    lost_->last_print = now;
  } else {
    return;
  }
  std::fflush(out_);
}

void HeadlessFrontEnd::BlockSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGUSR1);
  sigprocmask(SIG_BLOCK, &set, nullptr);
}

int HeadlessFrontEnd::Run(MarktTransp& window, int tick_ms, long max_ticks) {
  using Steady = std::chrono::steady_clock;
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGUSR1);

  bool exit_requested = false;
  long ticks = 0;
  auto next_tick = Steady::now() + std::chrono::milliseconds(tick_ms);
  while (!quit_) {
    const auto now = Steady::now();
    if (now < next_tick) {
      const auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(next_tick - now);
      timespec timeout{static_cast<time_t>(wait.count() / 1000000000),
                       static_cast<long>(wait.count() % 1000000000)};
      const int sig = sigtimedwait(&set, nullptr, &timeout);
      if (sig == SIGTERM || sig == SIGINT) {
        if (exit_requested) {
          // A second request: end now, still closing the connection and the icon.
          window.Form_Unload();
          Quit(0);
          break;
        }
        exit_requested = true;
      } else if (sig == SIGUSR1 && timer_) {
        // Like the button, between ticks: no effect while a job runs or
        // while the button is disabled by the manual transfer under way;
        // nothing is kept for later.
        window.RequestManualTransfer();
      }
      continue;
    }
    next_tick += std::chrono::milliseconds(tick_ms);
    if (Steady::now() > next_tick) next_tick = Steady::now();  // ticks missed are not made up

    if (!timer_) continue;
    if (max_ticks > 0 && ticks >= max_ticks) exit_requested = true;
    if (exit_requested) window.RequestShutdown();
    window.Haupt_Timer_Timer();
    ++ticks;
  }
  return exit_code_;
}

}  // namespace velunor
