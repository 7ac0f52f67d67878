#include "service/core/velunor_state.h"

namespace velunor {

VelunorState::VelunorState(const std::filesystem::path& program_dir,
                           const std::filesystem::path& cert_store, Clock& clock,
                           WindowModel& window, WindowHost& host, FileSystem& files)
    : log(program_dir, clock, files),
      env{program_dir, clock, log, window, host, files},
      db(env),
      certs(cert_store),
      komm_log(env) {}

}  // namespace velunor
