// Where the transmission's dialogue goes: the communication list of the
// window and the run's communication log file. Implemented by the core.
#pragma once

#include <string>

namespace velunor {

class KommLogSink {
 public:
  virtual ~KommLogSink() = default;
  // Appends one message; the text "%%%CLEAR%%%" empties the list instead.
  virtual void KommLog(const std::string& message) = 0;
};

}  // namespace velunor
