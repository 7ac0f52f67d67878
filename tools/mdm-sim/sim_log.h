// The simulator's console: one line per event on standard output, flushed
// at once so that a test or an operator sees it as it happens. Thread-safe.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace mdmsim {

class SimLog {
 public:
  explicit SimLog(bool quiet) : quiet_(quiet) {}
  void Line(const std::string& text) {
    if (quiet_) return;
    std::lock_guard<std::mutex> lock(mutex_);
    std::fprintf(stdout, "mdm-sim: %s\n", text.c_str());
    std::fflush(stdout);
  }

 private:
  bool quiet_;
  std::mutex mutex_;
};

}  // namespace mdmsim
