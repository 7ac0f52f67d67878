#include "service/core/qt/qt_window.h"

#include "service/core/markt_transp.h"
#include "service/core/qt/qt_front_end.h"
#include "service/core/service_notifier.h"
#include "service/core/service_procedures.h"
#include "service/core/velunor_state.h"

namespace velunor {

int RunQtService(int& argc, char** argv, const std::filesystem::path& program_dir,
                 const std::filesystem::path& cert_store, Clock& clock, WindowModel& window,
                 int tick_ms, long max_ticks, const std::string& final_screenshot) {
  // The front end comes first: it is the window host the process state reports to.
  QtFrontEnd front_end(argc, argv, window);
  VelunorState state(program_dir, cert_store, clock, window, front_end);
  ServiceProcedures procedures(state);
  SystemdNotifier notifier(window);
  MarktTransp markt_transp(state.env, procedures, front_end,
                           {&state.db.DbServer, &state.db.DbBenutzer, &state.db.DbPasswort},
                           &notifier);
  if (!final_screenshot.empty()) front_end.SetFinalScreenshot(final_screenshot);
  return front_end.Run(markt_transp, tick_ms, max_ticks);
}

}  // namespace velunor
