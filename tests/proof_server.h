// A MariaDB server of one test's own, made by scripts/mariadb-sandbox on a
// free port of 127.0.0.1 between 33700 and 33799, so that the test may stop
// and start it without disturbing the shared test database. Its data
// directory goes when the object goes.
#pragma once

#include <memory>
#include <string>

#include "service/db/odbc.h"
#include "tests/test_support.h"

namespace velunor::testing {

class PrivateServer {
 public:
  // Starts the server with the project's schema; throws std::runtime_error
  // with the script's output when it does not come up.
  PrivateServer();
  ~PrivateServer();
  PrivateServer(const PrivateServer&) = delete;
  PrivateServer& operator=(const PrivateServer&) = delete;

  // Stops the server; returns when it is gone.
  void Stop();
  // Starts it again on the same port with the same data.
  void Start();
  // Stops the server process where it stands (SIGSTOP), and lets it go on
  // (SIGCONT): a server that stops answering without closing a connection.
  void Freeze();
  void Thaw();
  bool running() const { return running_; }

  int port() const { return port_; }
  // "127.0.0.1:<port>" as STATION.INI names it.
  std::string Server() const { return "127.0.0.1:" + std::to_string(port_); }
  // A connection to `lox` as the test account.
  std::unique_ptr<Connection> Connect() const;
  // Runs `sql` on `lox` as the server's administrator through its socket
  // (for accounts the test account may not create); throws on failure.
  void RunAsRoot(const std::string& sql) const;

 private:
  void Run(const std::string& arguments) const;

  void Signal(int signal_number) const;

  TempDir dir_;
  int port_ = 0;
  bool running_ = false;
  bool frozen_ = false;
};

}  // namespace velunor::testing
