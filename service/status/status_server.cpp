#include "service/status/status_server.h"

#include <httplib.h>

#include <utility>

#include "service/status/status_page.h"

namespace velunor {

namespace {

constexpr int kThreads = 4;
constexpr time_t kTimeoutSeconds = 5;
constexpr size_t kMaxPayload = 8 * 1024;
constexpr const char* kAllow = "GET, HEAD";

// The page may run its own inline script and fetch from this server only.
constexpr const char* kPolicy =
    "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

void Common(httplib::Response& res) {
  res.set_header("Cache-Control", "no-store");
  res.set_header("X-Content-Type-Options", "nosniff");
  res.set_header("Content-Security-Policy", kPolicy);
}

}  // namespace

bool ParseStatusAddress(const std::string& address, std::string& host, int& port) {
  const size_t colon = address.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == address.size()) return false;
  host = address.substr(0, colon);
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    host = host.substr(1, host.size() - 2);
  } else if (host.find(':') != std::string::npos) {
    return false;  // an IPv6 address needs its brackets
  }
  const std::string digits = address.substr(colon + 1);
  if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  port = std::stoi(digits);
  return port >= 0 && port <= 65535;
}

StatusServer::StatusServer(const SnapshotBox& box, std::filesystem::path archive_dir)
    : box_(box),
      archive_dir_(std::move(archive_dir)),
      server_(std::make_unique<httplib::Server>()) {
  server_->new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
  server_->set_read_timeout(kTimeoutSeconds, 0);
  server_->set_write_timeout(kTimeoutSeconds, 0);
  server_->set_idle_interval(0, 0);
  server_->set_keep_alive_max_count(20);
  server_->set_keep_alive_timeout(kTimeoutSeconds);
  server_->set_payload_max_length(kMaxPayload);
  Routes();
}

StatusServer::~StatusServer() { Stop(); }

void StatusServer::Routes() {
  httplib::Server& s = *server_;
  s.Get("/", [this](const httplib::Request&, httplib::Response& res) {
    Common(res);
    res.set_content(StatusPage(*box_.Current()), "text/html; charset=utf-8");
  });
  s.Get("/status.json", [this](const httplib::Request&, httplib::Response& res) {
    Common(res);
    res.set_content(StatusJson(*box_.Current()), "application/json");
  });
  s.Get("/health", [this](const httplib::Request&, httplib::Response& res) {
    Common(res);
    const auto snapshot = box_.Current();
    res.status = HealthStatus(*snapshot);
    res.set_content(HealthJson(*snapshot), "application/json");
  });
  s.Get("/metrics", [this](const httplib::Request&, httplib::Response& res) {
    Common(res);
    res.set_content(box_.Current()->metrics, "text/plain; version=0.0.4; charset=utf-8");
  });
  s.Get(R"(/archive/([^/]+))", [this](const httplib::Request& req, httplib::Response& res) {
    Common(res);
    const std::string name = req.matches[1];
    const auto content = TransmissionArchive::Read(archive_dir_, name);
    if (!content) {
      res.status = 404;
      res.set_content("Keine solche Übertragung im Archiv\n", "text/plain; charset=utf-8");
      return;
    }
    res.set_content(ArchivePage(name, *content), "text/html; charset=utf-8");
  });
  // Before anything of a request's body is read: every other method is
  // refused, and the connection closed on it.
  s.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
    if (req.method == "GET" || req.method == "HEAD") {
      return httplib::Server::HandlerResponse::Unhandled;
    }
    Common(res);
    res.status = 405;
    res.set_header("Allow", kAllow);
    res.set_header("Connection", "close");
    res.set_content("Nur GET und HEAD\n", "text/plain; charset=utf-8");
    return httplib::Server::HandlerResponse::Handled;
  });
  s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    Common(res);
    if (res.body.empty()) res.set_content(std::to_string(res.status) + "\n", "text/plain");
  });
}

std::string StatusServer::Start(const std::string& address) {
  std::string host;
  int port = 0;
  if (!ParseStatusAddress(address, host, port)) {
    return "Statusadresse \"" + address + "\" ist nicht HOST:PORT";
  }
  const int bound = port == 0 ? server_->bind_to_any_port(host.c_str())
                              : (server_->bind_to_port(host.c_str(), port) ? port : -1);
  if (bound <= 0) return "Statusseite: " + address + " kann nicht belegt werden";
  port_ = bound;
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  return "";
}

void StatusServer::Stop() {
  if (!thread_.joinable()) return;
  server_->stop();
  thread_.join();
}

}  // namespace velunor
