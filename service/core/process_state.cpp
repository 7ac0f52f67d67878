#include "service/core/process_state.h"

namespace velunor {

ProcessState::ProcessState(const Configuration& configuration, Clock& clock, ServiceState& service,
                           WindowHost& host, FileSystem& files)
    : config(configuration),
      log(config.program_dir, clock, files),
      env{config.program_dir, clock, log, service, host, files},
      db(env),
      certs(config.cert_store),
      komm_log(env) {
  db.plausibility = config.plausibility;
  db.lpg_dir = config.lpg_dir;
}

}  // namespace velunor
