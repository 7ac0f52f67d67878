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
  // Returns what the client printed (tab-separated rows).
  std::string RunAsRoot(const std::string& sql) const;

 private:
  void Signal(int signal_number) const;

  TempDir dir_;
  int port_ = 0;
  bool running_ = false;
  bool frozen_ = false;
};

// Three Galera nodes of one test's own on 127.0.0.1 (scripts/mariadb-sandbox
// galera-start), the schema and accounts on all of them; a node may be
// killed and started again. The nodes go with the object.
class GaleraCluster {
 public:
  static constexpr int kNodes = 3;
  // Starts and syncs the three nodes; throws std::runtime_error with the
  // script's output when they do not come up.
  GaleraCluster();
  ~GaleraCluster();
  GaleraCluster(const GaleraCluster&) = delete;
  GaleraCluster& operator=(const GaleraCluster&) = delete;

  // kill -9 of node 1..3; Start returns once it has joined and synced again.
  void Kill(int node);
  void Start(int node);
  bool running(int node) const { return running_[node - 1]; }
  int port(int node) const { return base_port_ + node - 1; }
  // A connection to `lox` on the node as the test account.
  std::unique_ptr<Connection> Connect(int node) const;

 private:
  TempDir dir_;
  int base_port_ = 0;
  bool running_[kNodes] = {false, false, false};
};

}  // namespace velunor::testing
