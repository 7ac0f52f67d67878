// Ending the program at once for a fault the operator must fix first: the
// message is shown modally (titled with the program's name) and ProgramEnd
// is thrown past every error helper to main, which exits without running
// the window's unload steps.
#pragma once

#include <string>

#include "service/common/env.h"
#include "service/common/failure.h"
#include "service/common/window_host.h"

namespace velunor {

inline constexpr const char* kProgramName = "Velunor";

[[noreturn]] inline void EndProgram(WindowHost& host, const std::string& message) {
  host.MessageBox(message, kProgramName);
  throw ProgramEnd{message};
}

[[noreturn]] inline void EndProgram(Env& env, const std::string& message) {
  EndProgram(env.host, message);
}

}  // namespace velunor
