// The status page, /status.json, /health, /metrics and the archive over
// HTTP, on threads of its own. It only ever reads the latest picture in the
// SnapshotBox and the archive's files, so no client, however slow, can hold
// up a tick. GET and HEAD only (405 otherwise), a few connections at a
// time, short time-outs, small requests; it binds only where told.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "service/status/status_snapshot.h"

namespace httplib {
class Server;
}

namespace velunor {

// "HOST:PORT" ("[::1]:8089" for an IPv6 address) into its parts; false when
// the text is not of that form or the port is not 0..65535 (0: any free port).
bool ParseStatusAddress(const std::string& address, std::string& host, int& port);

class StatusServer {
 public:
  StatusServer(const SnapshotBox& box, std::filesystem::path archive_dir);
  ~StatusServer();  // stops serving
  StatusServer(const StatusServer&) = delete;
  StatusServer& operator=(const StatusServer&) = delete;

  // Binds to `address` and serves from then on. Returns "" or why not.
  std::string Start(const std::string& address);
  void Stop();
  int port() const { return port_; }  // the bound port, also when 0 was asked for

 private:
  void Routes();

  const SnapshotBox& box_;
  std::filesystem::path archive_dir_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
};

}  // namespace velunor
