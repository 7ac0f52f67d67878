#include "tests/proof_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "service/db/connect.h"

namespace velunor::testing {

namespace {

// The sandbox script, quoted for the shell.
// Built up step by step: "'" + path + "'" trips a false -Wrestrict in GCC 12.
std::string SandboxScript() {
  std::string script = "'";
  script += (SourceRoot() / "scripts" / "mariadb-sandbox").string();
  script += "'";
  return script;
}

constexpr int kFirstPort = 33700;
constexpr int kPorts = 100;

// True when nothing listens on 127.0.0.1:port (a bind succeeds).
bool PortFree(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  const sockaddr_in address = Loopback(port);
  const bool free = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return free;
}

// What `command` printed; throws std::runtime_error with it when the command fails.
std::string RunOrThrow(const std::string& command) {
  const CommandResult ran = RunCommand(command);
  if (ran.status != 0) throw std::runtime_error(command + " failed: " + ran.output);
  return ran.output;
}

void RunSandbox(const std::string& arguments) { RunOrThrow(SandboxScript() + " " + arguments); }

// Galera's 3 x 4 ports from a base in 36000..37990, clear of the single
// servers' range and of the ports the kernel hands out by itself.
constexpr int kGaleraFirstPort = 36000;
constexpr int kGaleraBlocks = 50;
constexpr int kGaleraBlockWidth = 40;

bool GaleraPortsFree(int base) {
  for (int kind = 0; kind < 4; ++kind) {
    for (int node = 0; node < GaleraCluster::kNodes; ++node) {
      if (!PortFree(base + 10 * kind + node)) return false;
    }
  }
  return true;
}

}  // namespace

GaleraCluster::GaleraCluster() {
  std::random_device rd;
  const int offset = static_cast<int>(rd() % kGaleraBlocks);
  std::string failure = "no free ports for three Galera nodes";
  for (int i = 0, tries = 0; i < kGaleraBlocks && tries < 2 && base_port_ == 0; ++i) {
    const int base = kGaleraFirstPort + kGaleraBlockWidth * ((offset + i) % kGaleraBlocks);
    if (!GaleraPortsFree(base)) continue;
    ++tries;
    try {
      RunSandbox("galera-start '" + dir_.path().string() + "' " + std::to_string(base));
      base_port_ = base;
    } catch (const std::runtime_error& e) {
      failure = e.what();
      RunCommand(SandboxScript() + " galera-stop '" + dir_.path().string() + "'");
      for (int n = 1; n <= kNodes; ++n) {
        std::error_code ec;
        std::filesystem::remove_all(dir_.path() / ("node" + std::to_string(n)), ec);
      }
    }
  }
  if (base_port_ == 0) throw std::runtime_error(failure);
  for (bool& r : running_) r = true;
}

GaleraCluster::~GaleraCluster() {
  RunCommand(SandboxScript() + " galera-stop '" + dir_.path().string() + "'");
}

void GaleraCluster::Kill(int node) {
  RunSandbox("galera-kill '" + dir_.path().string() + "' " + std::to_string(node));
  running_[node - 1] = false;
}

void GaleraCluster::Start(int node) {
  if (running_[node - 1]) return;
  RunSandbox("galera-node-start '" + dir_.path().string() + "' " + std::to_string(node));
  running_[node - 1] = true;
}

std::unique_ptr<Connection> GaleraCluster::Connect(int node) const {
  return TestDb::Connect("127.0.0.1", std::to_string(port(node)));
}

PrivateServer::PrivateServer() {
  std::random_device rd;
  const int offset = static_cast<int>(rd() % kPorts);
  std::string failure = "no free port between 33700 and 33799";
  // Another test may take a port between the probe and the server's bind.
  for (int i = 0, tries = 0; i < kPorts && tries < 3 && !running_; ++i) {
    const int port = kFirstPort + (offset + i) % kPorts;
    if (!PortFree(port)) continue;
    port_ = port;
    ++tries;
    try {
      Start();
    } catch (const std::runtime_error& e) {
      // A half-made data directory would be taken as ready by the next try.
      failure = e.what();
      RunCommand(SandboxScript() + " stop '" + dir_.path().string() + "'");
      std::error_code ec;
      std::filesystem::remove_all(dir_.path() / "data", ec);
    }
  }
  if (!running_) throw std::runtime_error(failure);
}

PrivateServer::~PrivateServer() {
  try {
    Thaw();
    Stop();
  } catch (const std::exception&) {
    // The temporary directory goes anyway; a server left behind dies with it.
  }
}

void PrivateServer::Start() {
  if (running_) return;
  RunSandbox("start '" + dir_.path().string() + "' " + std::to_string(port_));
  running_ = true;
}

void PrivateServer::Stop() {
  if (!running_) return;
  RunSandbox("stop '" + dir_.path().string() + "'");
  running_ = false;
}

void PrivateServer::Signal(int signal_number) const {
  std::ifstream in(dir_.path() / "mariadb.pid");
  pid_t pid = 0;
  if (!(in >> pid) || pid <= 0 || kill(pid, signal_number) != 0) {
    throw std::runtime_error("cannot signal the server in " + dir_.path().string());
  }
}

void PrivateServer::Freeze() {
  if (frozen_) return;
  Signal(SIGSTOP);
  frozen_ = true;
}

void PrivateServer::Thaw() {
  if (!frozen_) return;
  Signal(SIGCONT);
  frozen_ = false;
}

std::unique_ptr<Connection> PrivateServer::Connect() const {
  return TestDb::Connect("127.0.0.1", std::to_string(port_));
}

std::string PrivateServer::RunAsRoot(const std::string& sql) const {
  const std::filesystem::path file = dir_.path() / "root.sql";
  std::ofstream(file, std::ios::binary) << sql << "\n";
  return RunOrThrow("mariadb --no-defaults -uroot --socket='" +
                    (dir_.path() / "mariadb.sock").string() + "' lox < '" + file.string() + "'");
}

}  // namespace velunor::testing
