#include "service/core/velunor_state.h"

namespace velunor {

VelunorState::VelunorState(const std::filesystem::path& program_dir,
                           const std::filesystem::path& cert_store, Clock& clock,
                           ServiceState& service, WindowHost& host)
    : log(program_dir, clock),
      env{program_dir, clock, log, service, host},
      db(env),
      certs(cert_store),
      komm_log(env) {}

}  // namespace velunor
