// The service with its window on a desktop: builds the process state with the
// Qt front end as its window host and runs the window until it ends. For main;
// no Qt type here. Exit status as QtFrontEnd::Run: 0 normal end, 1 aborted start.
#pragma once

#include <filesystem>
#include <string>

#include "service/common/clock.h"
#include "service/common/service_state.h"
#include "service/core/service.h"

namespace velunor {

// `argc` and `argv` go to Qt (which takes its own options out of them) and
// must outlive the call. REQUIRES: a display (see QtDisplayAvailable()).
// `setup`'s notifier is the window's own; the window is a view of `state`.
int RunQtService(int& argc, char** argv, ServiceSetup setup, Clock& clock, ServiceState& state,
                 int tick_ms, long max_ticks, const std::string& final_screenshot = "");

}  // namespace velunor
