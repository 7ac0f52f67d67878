#include "tests/sandbox_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "service/db/verbindung.h"

namespace velunor::testing {

namespace {

// A port nothing listens on now: the kernel's choice for a socket bound to
// port 0. Another process could take it before the server binds; the start
// then fails with the server's reason rather than disturbing anyone.
int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) throw std::runtime_error("socket() failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  const bool ok = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  close(fd);
  if (!ok) throw std::runtime_error("no free port on 127.0.0.1");
  return ntohs(address.sin_port);
}

// Runs a shell command; its exit status, with everything it printed in `output`.
int Shell(const std::string& command, std::string* output) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return -1;
  char buffer[512];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
  return pclose(pipe);
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace

SandboxServer::SandboxServer() : port_(FreePort()) { Start(); }

SandboxServer::~SandboxServer() {
  try {
    Stop();
  } catch (const std::exception&) {
    // Nothing left to report to; the temporary directory goes all the same.
  }
}

void SandboxServer::Script(const std::string& arguments) const {
  const std::string command =
      Quoted(std::string(VELUNOR_SOURCE_ROOT) + "/scripts/mariadb-sandbox") + " " + arguments;
  std::string output;
  if (Shell(command, &output) != 0) throw std::runtime_error(command + " failed: " + output);
}

void SandboxServer::Start() {
  if (running_) return;
  Script("start " + Quoted((dir_.path() / "db").string()) + " " + std::to_string(port_));
  running_ = true;
}

void SandboxServer::Stop() {
  if (!running_) return;
  Script("stop " + Quoted((dir_.path() / "db").string()));
  running_ = false;
}

std::unique_ptr<Connection> SandboxServer::Connect() const {
  auto c = std::make_unique<Connection>();
  c->Open(std::string("DRIVER={") + kDriver31 + "};SERVER=127.0.0.1;PORT=" + std::to_string(port_) +
              ";DATABASE=lox;UID=" + TestDb::kUser + ";PWD=" + TestDb::kPassword +
              ";Option=11;CHARSET=utf8mb4",
          10);
  return c;
}

void SandboxServer::RunAsRoot(const std::string& sql) const {
  const std::filesystem::path file = dir_.path() / "root.sql";
  std::ofstream(file, std::ios::binary) << sql << "\n";
  const std::string command = "mariadb --no-defaults -uroot --socket=" +
                              Quoted((dir_.path() / "db" / "mariadb.sock").string()) + " lox < " +
                              Quoted(file.string());
  std::string output;
  if (Shell(command, &output) != 0) throw std::runtime_error(command + " failed: " + output);
}

}  // namespace velunor::testing
