// The status page (and its body alone, /status.part, from which it renews
// itself), /status.json, /health, /metrics and the archive over
// HTTP, on a thread of its own (GNU libmicrohttpd, event-driven). It only
// ever reads the latest picture in the SnapshotBox and the archive's files,
// so no client, however slow, can hold up a tick. What the port may cost the
// service is bounded: a few dozen connections (any beyond are closed at
// once), a deadline per connection, small requests, archive files sent as
// stored. GET and HEAD only (405 otherwise); a request that does not name
// this server in its Host header gets 421 and no data (DNS rebinding).
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "service/status/status_snapshot.h"

namespace velunor {

// The status page's address, taken apart once where it is given.
struct StatusAddress {
  std::string text;  // as given: "127.0.0.1:8089", "[::1]:8089"
  std::string host;  // without an IPv6 address's brackets
  int port = 0;      // 0: any free port
};

// "HOST:PORT" ("[::1]:8089" for an IPv6 address) into its parts; nullopt when
// the text is not of that form or the port is not 0..65535.
std::optional<StatusAddress> ParseStatusAddress(const std::string& text);

class StatusServer {
 public:
  // At most this many connections at a time; the next is closed on accept.
  static constexpr unsigned kMaxConnections = 32;
  // A connection ends this long after it was accepted, finished or not.
  static constexpr int kDeadlineSeconds = 20;

  StatusServer(const SnapshotBox& box, std::filesystem::path archive_dir);
  ~StatusServer();  // stops serving
  StatusServer(const StatusServer&) = delete;
  StatusServer& operator=(const StatusServer&) = delete;

  // Binds to `address` and serves from then on. Returns "" or why not (the
  // system's reason, e.g. the address in use).
  std::string Start(const StatusAddress& address);
  // Serves on `listening_socket`, a bound and listening TCP socket handed
  // over by the service manager; takes it over. `address`, when not empty,
  // is one more name under which the server is asked for (the configured
  // --status-address). Returns "" or why not.
  std::string Adopt(int listening_socket, const std::string& address);
  void Stop();
  bool serving() const { return daemon_ != nullptr; }
  int port() const { return port_; }  // the bound port, also when 0 was asked for
  // The bound address as "127.0.0.1:8089" or "[::1]:8089".
  const std::string& bound_address() const { return bound_; }

 private:
  struct Daemon;
  std::string Serve(int listening_socket, const std::string& address);

  const SnapshotBox& box_;
  std::filesystem::path archive_dir_;
  std::unique_ptr<Daemon> daemon_;
  int port_ = 0;
  std::string bound_;
};

}  // namespace velunor
