// The process state of the service: error log, environment, database state,
// publication state, certificate store and communication log. Owns
// everything except the clock, the window model and the window's host, which
// the caller provides. Built by the assembly (service.h).
#pragma once

#include <filesystem>

#include "service/common/env.h"
#include "service/common/fehler_log.h"
#include "service/core/komm_log.h"
#include "service/db/db_state.h"
#include "service/publication/publication_state.h"
#include "shared/cert_store.h"

namespace velunor {

struct VelunorState {
  VelunorState(const std::filesystem::path& program_dir, const std::filesystem::path& cert_store,
               Clock& clock, WindowModel& window, WindowHost& host, FileSystem& files);

  FehlerLog log;
  Env env;
  DbState db;
  PublicationState pub;
  DirectoryCertStore certs;
  KommLogWriter komm_log;
};

}  // namespace velunor
