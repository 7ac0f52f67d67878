// The part of the process state that every subsystem shares: program
// directory, clock, error log, the service state that the procedures record
// what happened in, and the operator's host. Built by main (or a test) and
// handed down by reference; it owns nothing.
#pragma once

#include <filesystem>

#include "service/common/clock.h"
#include "service/common/fehler_log.h"
#include "service/common/service_state.h"
#include "service/common/window_host.h"
#include "shared/file_system.h"

namespace velunor {

struct Env {
  std::filesystem::path program_dir;
  Clock& clock;
  FehlerLog& log;
  ServiceState& service;
  WindowHost& host;
  FileSystem& files;
};

}  // namespace velunor
