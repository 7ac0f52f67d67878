#include "service/core/qt/qt_window.h"

#include "service/core/qt/qt_front_end.h"
#include "service/core/service.h"
#include "service/core/service_notifier.h"

namespace velunor {

int RunQtService(int& argc, char** argv, const std::filesystem::path& program_dir,
                 const std::filesystem::path& cert_store, Clock& clock, WindowModel& window,
                 int tick_ms, long max_ticks, const std::string& final_screenshot) {
  // The front end comes first: it is the window host the process state reports to.
  QtFrontEnd front_end(argc, argv, window);
  SystemdNotifier notifier(window);
  ServiceSetup setup;
  setup.program_dir = program_dir;
  setup.cert_store = cert_store;
  setup.notifier = &notifier;
  Service service(setup, clock, window, front_end);
  if (!final_screenshot.empty()) front_end.SetFinalScreenshot(final_screenshot);
  return front_end.Run(service.window(), tick_ms, max_ticks);
}

}  // namespace velunor
