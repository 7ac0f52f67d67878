#include "service/core/service.h"

#include <sys/socket.h>
#include <systemd/sd-daemon.h>
#include <unistd.h>

#include "shared/file_replace.h"

namespace velunor {

namespace {

// How often a status port that could not be bound is tried again, and how
// often the error log hears that it still cannot be.
constexpr std::int64_t kRetrySeconds = 60;
constexpr std::int64_t kRetellSeconds = 60 * 60;

std::unique_ptr<CurlTransport> RealTransport(const ServiceSetup& setup, const CertStore& certs) {
  if (setup.transport != nullptr) return nullptr;
  return std::make_unique<CurlTransport>(certs, setup.transport_options);
}

// The listening socket the service manager opened for the status port
// (velunor.socket), so that no other account can take the port first; -1
// when the process was not started with one. The variables are unset, so
// that no child takes them for its own.
int ListenedSocket() {
  const int count = sd_listen_fds(1);
  if (count < 1) return -1;
  for (int fd = SD_LISTEN_FDS_START + 1; fd < SD_LISTEN_FDS_START + count; ++fd) close(fd);
  return SD_LISTEN_FDS_START;
}

LeaseSettings Lease(const Configuration& config, const InstanceToken& token) {
  std::string name = config.instance_name.empty() ? HostName() : config.instance_name;
  if (name.empty()) name = "velunor";
  return {name, token.value(), config.lease_seconds};
}

}  // namespace

Service::Service(const ServiceSetup& setup, Clock& clock, ServiceState& service_state,
                 FrontEnd& front_end)
    : state_(setup.config, clock, service_state, front_end,
             setup.files != nullptr ? *setup.files : RealFileSystem()),
      token_(setup.config.program_dir),
      own_transport_(RealTransport(setup, state_.certs)),
      operations_(state_.env, state_.db.published, setup.config.archive_max_bytes, token_.held()),
      procedures_(state_, setup.transport != nullptr ? *setup.transport : *own_transport_,
                  &operations_, Lease(setup.config, token_)),
      scheduler_(state_.env, {procedures_, state_.komm_log}, front_end, state_.config,
                 setup.notifier, &operations_),
      window_(state_.env, front_end, scheduler_),
      front_end_(front_end),
      notifier_(setup.notifier),
      instance_name_(Lease(setup.config, token_).instance_name) {
  // Whole-file writes that a crash or a kill cut off before their rename;
  // while another process holds the token, they may be its writes under way.
  if (token_.held()) RemoveStaleTemporaries(state_.env.files, setup.config.program_dir);
  if (!token_.problem().empty()) {
    // The instance still reports or stands by; only a restart cannot prove
    // it is the same instance and waits for its own lease to run out.
    const std::string text = "Kennung dieses Dienstes nur für diesen Lauf: " + token_.problem();
    state_.log.WriteNotice(text, "Form_Load");
    front_end.Notice(text);
  }

  const std::optional<StatusAddress>& address = state_.config.status_address;
  const int listened = ListenedSocket();
  if (listened < 0 && !address) return;
  status_server_ = std::make_unique<StatusServer>(operations_.box(), operations_.archive_dir());
  if (listened >= 0) {
    const std::string why = sd_is_socket(listened, AF_UNSPEC, SOCK_STREAM, 1) > 0
                                ? status_server_->Adopt(listened, address ? address->text : "")
                                : "Statusseite: der übergebene Socket ist kein TCP-Socket";
    if (why.empty()) {
      operations_.PublishSnapshots();
    } else {
      // Handed over by the service manager: nothing to try again here.
      state_.log.WriteNotice(why, "Form_Load");
      front_end.Notice(why);
    }
    return;
  }
  const std::string why = status_server_->Start(*address);
  if (why.empty()) {
    operations_.PublishSnapshots();
    return;
  }
  StatusPortFailed(why, "Form_Load");
  operations_.AfterEachTick([this] { RetryStatusPort(); });
}

// The page is for the operator; reporting goes on without it, so this is a
// notice that does not end the start. The port may come free (an earlier
// run still ending, another program that goes away).
void Service::StatusPortFailed(const std::string& why, const std::string& procedure) {
  const std::int64_t now = state_.env.clock.EpochSeconds();
  status_retry_at_ = now + kRetrySeconds;
  const std::string text = why + "; neuer Versuch jede Minute";
  if (notifier_ != nullptr) notifier_->Problem(text);
  if (status_told_at_ != 0 && now < status_told_at_ + kRetellSeconds) return;
  status_told_at_ = now;
  state_.log.WriteNotice(text, procedure);
  front_end_.Notice(text);
}

void Service::RetryStatusPort() {
  if (status_server_->serving() || state_.env.clock.EpochSeconds() < status_retry_at_) return;
  const StatusAddress& address = *state_.config.status_address;
  const std::string why = status_server_->Start(address);
  if (!why.empty()) {
    StatusPortFailed(why, "Haupt_Timer_Timer");
    return;
  }
  operations_.PublishSnapshots();
  if (notifier_ != nullptr) notifier_->Problem("");
  const std::string text = "Statusseite: " + address.text + " jetzt belegt";
  state_.log.WriteNotice(text, "Haupt_Timer_Timer");
  front_end_.Notice(text);
}

}  // namespace velunor
