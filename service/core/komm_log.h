// The communication log: each message goes to the service state's
// communication lines (time, blank, message; newest selected) and to "ComLogDatei.txt" in
// the program directory, which is created afresh at the first message of a
// run; the previous run's file is kept as "ComLogDatei.1.txt", and a file
// that passes 10 MB during a run is kept there as well and started afresh.
// Control characters are written visibly escaped. "%%%CLEAR%%%" empties the
// list only. Failures are logged as "KommLog".
#pragma once

#include <memory>
#include <string>

#include "service/common/env.h"
#include "service/common/komm_log_sink.h"

namespace velunor {

inline constexpr const char* kKommLogClear = "%%%CLEAR%%%";
inline constexpr const char* kKommLogFileName = "ComLogDatei.txt";

class KommLogWriter : public KommLogSink {
 public:
  static constexpr size_t kMaxBytes = 10 * 1024 * 1024;

  // `max_bytes`: the size past which the file is started afresh.
  explicit KommLogWriter(Env& env, size_t max_bytes = kMaxBytes)
      : env_(env), max_bytes_(max_bytes) {}
  void KommLog(const std::string& line) override;

 private:
  // Opens ComLogDatei.txt afresh, the old one kept as ComLogDatei.1.txt when
  // `keep_previous`. Throws Failure (75).
  void StartFile(bool keep_previous);

  Env& env_;
  size_t max_bytes_;
  // KommLogDatei: open from the first message to the end; null when it
  // could not be opened.
  std::unique_ptr<WritableFile> file_;
  bool opened_ = false;
};

}  // namespace velunor
