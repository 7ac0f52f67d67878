// One running service, put together in one place: the process state, the
// HTTPS transport, the real procedures on them, the scheduler's variables and
// the window MarktTransp. main, the Qt front end, the tests and the proof rig
// build it alike and hand it to a front end. Single-threaded.
#pragma once

#include <filesystem>
#include <memory>

#include "service/common/clock.h"
#include "service/common/window_model.h"
#include "service/core/front_end.h"
#include "service/core/markt_transp.h"
#include "service/core/scheduler_variables.h"
#include "service/core/service_notifier.h"
#include "service/core/service_procedures.h"
#include "service/core/velunor_state.h"
#include "service/transmission/curl_transport.h"

namespace velunor {

struct ServiceSetup {
  std::filesystem::path program_dir;
  std::filesystem::path cert_store;
  // Options of the real transport; ignored when `transport` is given.
  CurlTransport::Options transport_options;
  // A transport of the caller's (a test's); null: the real CurlTransport.
  HttpsTransport* transport = nullptr;
  ServiceNotifier* notifier = nullptr;  // may be null
};

class Service {
 public:
  // `clock`, `window` and `front_end` must outlive the service.
  Service(const ServiceSetup& setup, Clock& clock, WindowModel& window, FrontEnd& front_end);
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  MarktTransp& window() { return window_; }
  VelunorState& state() { return state_; }
  Procedures& procedures() { return procedures_; }
  // The scheduler's variables, for tests that put the scheduler into a state.
  SchedulerVariables& scheduler() { return scheduler_; }

 private:
  VelunorState state_;
  std::unique_ptr<CurlTransport> own_transport_;
  ServiceProcedures procedures_;
  SchedulerVariables scheduler_;
  MarktTransp window_;
};

}  // namespace velunor
