// One running service, put together in one place: the process state, the
// HTTPS transport, the real procedures on them, the window MarktTransp, the
// archive and metrics, and the status server when an address is given. main, the Qt front end, the
// tests and the proof rig build it alike and hand it to a front end. Single-threaded but for the
// status server's own threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "service/common/clock.h"
#include "service/common/service_state.h"
#include "service/core/configuration.h"
#include "service/core/front_end.h"
#include "service/core/instance_token.h"
#include "service/core/markt_transp.h"
#include "service/core/process_state.h"
#include "service/core/service_notifier.h"
#include "service/core/service_procedures.h"
#include "service/status/operations.h"
#include "service/status/status_server.h"
#include "service/transmission/curl_transport.h"

namespace velunor {

struct ServiceSetup {
  // The command line's part; the service reads the files at their moments.
  // Without a status address no page is served, unless the service manager
  // hands over a listening socket (LISTEN_FDS): then the page is served on
  // that, and the address is only one more name it answers to.
  Configuration config;
  // Options of the real transport; ignored when `transport` is given.
  CurlTransport::Options transport_options;
  // A transport of the caller's (a test's); null: the real CurlTransport.
  HttpsTransport* transport = nullptr;
  ServiceNotifier* notifier = nullptr;  // may be null
  // The disk the service's files go to (a test's); null: the machine's.
  FileSystem* files = nullptr;
};

class Service {
 public:
  // `clock`, `service_state` and `front_end` must outlive the service.
  Service(const ServiceSetup& setup, Clock& clock, ServiceState& service_state,
          FrontEnd& front_end);
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  MarktTransp& window() { return window_; }
  ProcessState& state() { return state_; }
  ServiceProcedures& procedures() { return procedures_; }
  Operations& operations() { return operations_; }
  // The status server's port, 0 when none serves (none asked for, or the
  // address could not be bound yet: that was logged and told, the service
  // runs on without it and tries again every minute).
  int status_port() const {
    return status_server_ && status_server_->serving() ? status_server_->port() : 0;
  }
  // Where the status server serves ("127.0.0.1:8089"), "" when it does not.
  // The name this instance holds the reporter lease under.
  const std::string& instance_name() const { return instance_name_; }
  std::string status_address() const {
    return status_port() != 0 ? status_server_->bound_address() : "";
  }

 private:
  void StatusPortFailed(const std::string& why, const std::string& procedure);
  void RetryStatusPort();

  ProcessState state_;
  InstanceToken token_;
  std::unique_ptr<CurlTransport> own_transport_;
  Operations operations_;
  ServiceProcedures procedures_;
  Scheduler scheduler_;
  MarktTransp window_;
  std::unique_ptr<StatusServer> status_server_;
  FrontEnd& front_end_;
  ServiceNotifier* notifier_;
  std::string instance_name_;
  std::int64_t status_retry_at_ = 0;
  std::int64_t status_told_at_ = 0;
};

}  // namespace velunor
