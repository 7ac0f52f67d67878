// A MariaDB server of one end-to-end test's own, made by
// scripts/mariadb-sandbox on a free port of 127.0.0.1, so that the test may
// stop and start it in the middle of a run, or add accounts as the server's
// administrator, without touching the shared test database. The server is
// stopped and its data directory removed when the object goes.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "service/db/odbc.h"
#include "tests/test_support.h"

namespace velunor::testing {

class SandboxServer {
 public:
  // Starts the server with the project's schema and the test accounts;
  // throws std::runtime_error with the script's output when it fails.
  SandboxServer();
  ~SandboxServer();
  SandboxServer(const SandboxServer&) = delete;
  SandboxServer& operator=(const SandboxServer&) = delete;

  // Returns when the server is gone; throws std::runtime_error on failure.
  void Stop();
  // Starts it again on the same port with the same data.
  void Start();

  int port() const { return port_; }
  // "127.0.0.1:<port>", as STATION.INI names it.
  std::string Server() const { return "127.0.0.1:" + std::to_string(port_); }
  // A connection to `lox` as the test account velunor.
  std::unique_ptr<Connection> Connect() const;
  // Runs `sql` as the server's administrator through its socket.
  void RunAsRoot(const std::string& sql) const;

 private:
  void Script(const std::string& arguments) const;

  TempDir dir_;
  int port_ = 0;
  bool running_ = false;
};

}  // namespace velunor::testing
