// velunor: the fuel-price reporting service. Builds the process state, then
// runs the window (Qt when a display is available, else headless) until it
// ends. Exit status: 0 normal end, 1 start aborted, 2 usage error.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "service/common/clock.h"
#include "service/common/failure.h"
#include "service/core/command_line.h"
#include "service/core/configuration.h"
#include "service/core/headless_front_end.h"
#include "service/core/markt_transp.h"
#include "service/core/service.h"
#include "service/core/service_notifier.h"
#include "service/core/setup_check.h"
#include "shared/display.h"
#include "shared/output_line.h"
#include "shared/version.h"

#ifdef VELUNOR_WITH_QT
#include "service/core/qt/qt_window.h"
#endif

int main(int argc, char** argv) {
  using namespace velunor;
  const CommandLine cl = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (const std::optional<int> answered =
          AnswerUsage("velunor", cl.status, cl.help, cl.version, UsageText(),
                      std::string("Velunor V ") + kVersion)) {
    return *answered;
  }

  ServiceSetup setup;
  setup.config = ConfigurationFromCommandLine(cl, argv[0]);
  const std::filesystem::path& program_dir = setup.config.program_dir;
  if (!std::filesystem::is_directory(program_dir)) {
    PrintLine(stderr, "velunor: program directory " + program_dir.string() + " does not exist");
    return 2;
  }

  SystemClock clock;
  if (cl.check) return RunSetupCheck(setup, clock, stdout);

  ServiceState state;
#ifdef VELUNOR_WITH_QT
  if (!cl.headless && DisplayAvailable()) {
    // Qt calls Form_Load and Form_Activate itself once its window exists.
    return RunQtService(argc, argv, setup, clock, state, cl.tick_ms, cl.ticks, cl.screenshot);
  }
#endif
  if (!cl.screenshot.empty()) {
    std::fprintf(stderr, "velunor: --screenshot needs a display for the window\n");
    return 2;
  }
  HeadlessFrontEnd front_end(state, clock, stdout, stderr);
  HeadlessFrontEnd::BlockSignals();
  SystemdNotifier notifier(state);
  setup.notifier = &notifier;
  Service service(setup, clock, state, front_end);
  if (service.status_port() != 0) {
    std::printf("velunor: Statusseite unter http://%s/\n", service.status_address().c_str());
    std::fflush(stdout);
  }
  MarktTransp& markt_transp = service.window();
  markt_transp.Form_Load();
  try {
    markt_transp.Form_Activate();
  } catch (const ProgramEnd&) {
    return 1;  // the message was shown; a configuration fault ends at once
  }
  if (front_end.quit()) return front_end.exit_code();
  return front_end.Run(markt_transp, cl.tick_ms, cl.ticks);
}
