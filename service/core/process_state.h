// The process state of the service: configuration, error log, environment,
// database state, publication state, certificate store and communication
// log. Owns everything except the clock, the service state and the
// operator's host, which the caller provides. Built by the assembly (service.h).
#pragma once

#include "service/common/env.h"
#include "service/common/fehler_log.h"
#include "service/core/configuration.h"
#include "service/core/komm_log.h"
#include "service/db/db_state.h"
#include "service/publication/publication_state.h"
#include "shared/cert_store.h"

namespace velunor {

struct ProcessState {
  // `configuration`: the command line's part; the files are read at their moments.
  ProcessState(const Configuration& configuration, Clock& clock, ServiceState& service,
               WindowHost& host, FileSystem& files);

  Configuration config;
  FehlerLog log;
  Env env;
  DbState db;
  PublicationState pub;
  DirectoryCertStore certs;
  KommLogWriter komm_log;
};

}  // namespace velunor
