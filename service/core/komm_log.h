// The communication log: each message goes to the window's communication
// list (time, blank, message; newest selected) and to "ComLogDatei.txt" in
// the program directory, which is created afresh at the first message of a
// run. "%%%CLEAR%%%" empties the list only. Failures are logged as "KommLog".
#pragma once

#include <fstream>
#include <string>

#include "service/common/env.h"
#include "service/common/komm_log_sink.h"

namespace velunor {

inline constexpr const char* kKommLogClear = "%%%CLEAR%%%";
inline constexpr const char* kKommLogFileName = "ComLogDatei.txt";

class KommLogWriter : public KommLogSink {
 public:
  explicit KommLogWriter(Env& env) : env_(env) {}
  void KommLog(const std::string& meldung) override;

 private:
  Env& env_;
  std::ofstream file_;  // KommLogDatei: open from the first message to the end
  bool opened_ = false;
};

}  // namespace velunor
