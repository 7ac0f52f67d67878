#include "service/core/service.h"

namespace velunor {

namespace {

std::unique_ptr<CurlTransport> RealTransport(const ServiceSetup& setup, const CertStore& certs) {
  if (setup.transport != nullptr) return nullptr;
  return std::make_unique<CurlTransport>(certs, setup.transport_options);
}

}  // namespace

Service::Service(const ServiceSetup& setup, Clock& clock, WindowModel& window, FrontEnd& front_end)
    : state_(setup.program_dir, setup.cert_store, clock, window, front_end),
      own_transport_(RealTransport(setup, state_.certs)),
      procedures_(state_, setup.transport != nullptr ? *setup.transport : *own_transport_),
      window_(state_.env, procedures_, front_end, scheduler_,
              {&state_.db.DbServer, &state_.db.DbBenutzer, &state_.db.DbPasswort}, setup.notifier) {
}

}  // namespace velunor
