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
      operations_(state_.env, state_.db, setup.archive_max_bytes),
      procedures_(state_, setup.transport != nullptr ? *setup.transport : *own_transport_,
                  &operations_),
      window_(state_.env, procedures_, front_end, scheduler_,
              {&state_.db.DbServer, &state_.db.DbBenutzer, &state_.db.DbPasswort}, setup.notifier,
              &operations_) {
  if (setup.status_address.empty()) return;
  status_server_ = std::make_unique<StatusServer>(operations_.box(), operations_.archive_dir());
  const std::string why = status_server_->Start(setup.status_address);
  if (why.empty()) {
    operations_.PublishSnapshots();
    return;
  }
  // The page is for the operator; reporting goes on without it, so this is
  // a notice that does not end the start.
  status_server_.reset();
  state_.log.WriteNotice(why, "Form_Load");
  front_end.Notice(why);
}

}  // namespace velunor
