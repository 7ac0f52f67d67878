#include "service/core/qt/qt_window.h"

#include "service/common/window_view.h"
#include "service/core/qt/qt_front_end.h"
#include "service/core/service.h"
#include "service/core/service_notifier.h"

namespace velunor {

int RunQtService(int& argc, char** argv, ServiceSetup setup, Clock& clock, ServiceState& state,
                 int tick_ms, long max_ticks, const std::string& final_screenshot) {
  WindowModel window;
  WindowView view(state, window);
  // The front end comes first: it is the window host the process state reports to.
  QtFrontEnd front_end(argc, argv, window);
  SystemdNotifier notifier(state);
  setup.notifier = &notifier;
  Service service(setup, clock, state, front_end);
  if (!final_screenshot.empty()) front_end.SetFinalScreenshot(final_screenshot);
  return front_end.Run(service.window(), tick_ms, max_ticks);
}

}  // namespace velunor
