// The process state of the service, built once by main (or a test): error
// log, environment, database state, publication state, certificate store,
// HTTPS transport and communication log. Owns everything except the clock,
// the window model and the front end, which the caller provides.
#pragma once

#include <filesystem>

#include "service/common/env.h"
#include "service/common/fehler_log.h"
#include "service/core/komm_log.h"
#include "service/db/db_state.h"
#include "service/publication/publication_state.h"
#include "service/transmission/curl_transport.h"
#include "shared/cert_store.h"

namespace velunor {

struct VelunorState {
  VelunorState(const std::filesystem::path& program_dir, const std::filesystem::path& cert_store,
               Clock& clock, WindowModel& window, WindowHost& host);

  FehlerLog log;
  Env env;
  DbState db;
  PublicationState pub;
  DirectoryCertStore certs;
  CurlTransport transport;
  KommLogWriter komm_log;
};

}  // namespace velunor
