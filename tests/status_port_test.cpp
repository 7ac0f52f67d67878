// The status port of the program itself, as a process against the private
// MariaDB and the endpoint simulator: what a flood of idle connections may
// take from the service, and the port the service manager holds for it
// (socket activation) so that no other account can take it first.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/service_fixture.h"
#include "tests/small_network.h"
#include "tests/test_support.h"

namespace velunor {
namespace {

namespace fs = std::filesystem;
using testing::Loopback;
using testing::ServiceProcess;
using testing::TestDb;
using testing::WaitUntil;

constexpr int kFloodConnections = 1100;
constexpr int kServiceHandles = 1024;

// What another account meets when it tries to listen on `port`: 0 when it
// could, else the errno of its attempt. Run in a child that has become
// "nobody"; address and port reuse asked for, as a squatter would.
int BindAsNobody(int port) {
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(255);
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &on, sizeof on);
    const sockaddr_in address = Loopback(port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) _exit(errno);
    _exit(listen(fd, 8) == 0 ? 0 : errno);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class StatusPortTest : public testing::ServiceProcessTest {
 protected:
  StatusPortTest() { WriteProgramDir(TestDb::Server()); }

  int Acknowledged() const {
    return std::stoi(testing::QueryRows(
        *sql_, "select count(*) from mts_petrolstation_log where log_code in (0, 1)"));
  }

  std::unique_ptr<Connection> sql_ = testing::ConnectToStationNetwork();
};

// 1,100 idle connections against a service allowed 1,024 handles: the
// server keeps a few and closes the rest at once, and the service's own
// work (database, archive, TLS to the MTS-K) keeps the handles it needs.
TEST_F(StatusPortTest, AFloodOfIdleConnectionsLeavesTheServiceItsHandles) {
  // The test itself needs the connections' handles (root may raise its limit).
  rlimit own{};
  getrlimit(RLIMIT_NOFILE, &own);
  own.rlim_max = std::max(own.rlim_max, static_cast<rlim_t>(kFloodConnections + 200));
  own.rlim_cur = own.rlim_max;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &own), 0) << "handles for " << kFloodConnections;

  ServiceProcess::Options options = Options("out");
  options.arguments = {"--status-address", "127.0.0.1:0"};
  options.command_prefix = {"/bin/sh", "-c",
                            "ulimit -n " + std::to_string(kServiceHandles) + " && exec \"$@\"",
                            "velunor"};
  auto process = Run(options);
  const int port = process->AnnouncedStatusPort();
  ASSERT_GT(port, 0) << process->Stdout() << process->Stderr();
  ASSERT_TRUE(WaitUntil([&] { return Acknowledged() >= 2; }, 30)) << process->Stdout();

  std::vector<int> flood;
  const sockaddr_in address = Loopback(port);
  for (int i = 0; i < kFloodConnections; ++i) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ASSERT_GE(fd, 0) << "connection " << i;
    connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    flood.push_back(fd);
  }
  // The server took a few and closed the rest: the service's handles stay
  // far below its limit.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const fs::path handles = "/proc/" + std::to_string(process->pid()) + "/fd";
  const auto open_handles = std::distance(fs::directory_iterator(handles), {});
  EXPECT_LT(open_handles, 200) << "handles of the service during the flood";

  // Two price changes, each reported and acknowledged while the flood stands.
  const int before = Acknowledged();
  bool went_on = true;
  for (const char* price : {"1.549", "1.539"}) {
    const int acknowledged = Acknowledged();
    testing::SetUpstreamPrice(*sql_, 1, 3, price);
    went_on = went_on && WaitUntil([&] { return Acknowledged() > acknowledged; }, 30) &&
              sim_.RequestBody(sim_.RequestCount()).find(price) != std::string::npos;
  }
  for (int fd : flood) close(fd);
  EXPECT_TRUE(went_on) << "acknowledged before the flood: " << before
                       << ", after: " << Acknowledged() << "\n"
                       << process->Stdout();

  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(10, 0);
  int health = 0;
  EXPECT_TRUE(WaitUntil(
      [&] {
        auto answer = client.Get("/health");
        health = answer ? answer->status : 0;
        return answer;
      },
      10));
  EXPECT_EQ(health, 200);

  EXPECT_EQ(process->Stop(), 0);
  const std::string logs = process->Stdout() + process->Stderr() +
                           testing::Joined(testing::ReadErrorLog(ProgramDir())) +
                           testing::ReadFile(ProgramDir() / "ComLogDatei.txt");
  EXPECT_EQ(logs.find("Too many open files"), std::string::npos) << logs;
}

// The service manager's socket (velunor.socket) is bound before the service
// starts and stays bound while it runs: another account cannot take the
// port, and the service serves on the socket it was handed.
TEST_F(StatusPortTest, TheSocketOfTheServiceManagerIsServedAndCannotBeTaken) {
  const int held = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  ASSERT_EQ(bind(held, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(held, 64), 0);
  socklen_t length = sizeof address;
  getsockname(held, reinterpret_cast<sockaddr*>(&address), &length);
  const int port = ntohs(address.sin_port);
  // Far from 3, so that handing it over as fd 3 is a real copy.
  const int handed = fcntl(held, F_DUPFD_CLOEXEC, 20);
  close(held);
  // Only root can become another account to try.
  const bool squat = geteuid() == 0;
  if (squat) {
    EXPECT_EQ(BindAsNobody(port), EADDRINUSE) << "before the service starts";
  }

  // A whole-file write that a crash cut off before its rename.
  const fs::path left = ProgramDir() / "MTS_P.xml.q8k2m4zx.tmp";
  std::ofstream(left) << "<half";

  ServiceProcess::Options options = Options("out");
  options.fd3 = handed;
  options.command_prefix = {"/bin/sh", "-c", "export LISTEN_FDS=1 LISTEN_PID=$$ && exec \"$@\"",
                            "velunor"};
  auto process = Run(options);
  close(handed);
  ASSERT_EQ(process->AnnouncedStatusPort(), port) << process->Stdout() << process->Stderr();
  if (squat) {
    EXPECT_EQ(BindAsNobody(port), EADDRINUSE) << "while the service runs";
  }

  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(10, 0);
  auto health = client.Get("/health");
  ASSERT_TRUE(health);
  EXPECT_NE(health->body.find("\"state\""), std::string::npos) << health->body;
  EXPECT_FALSE(fs::exists(left));

  EXPECT_EQ(process->Stop(), 0) << process->Stderr();
}

// A second velunor started on the program directory of a running one: the
// temporary files there may be the first one's writes under way, so they
// stay until a process that holds the instance's lock finds them.
TEST_F(StatusPortTest, ASecondProcessLeavesTheRunningOnesTemporaryFilesAlone) {
  const int running = open((ProgramDir() / "velunor.instance").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(running, 0);
  ASSERT_EQ(flock(running, LOCK_EX | LOCK_NB), 0) << "held as the first process holds it";
  const fs::path writing = ProgramDir() / "MTS_P.xml.q8k2m4zx.tmp";
  const fs::path archiving =
      ProgramDir() / "archive" / "20261208-100500-price-2026-000007-acknowledged.gz.q8k2m4zx.tmp";
  testing::WriteFile(writing, "<half");
  testing::WriteFile(archiving, "half");

  ServiceProcess::Options options = Options("out");
  options.arguments = {"--status-address", "127.0.0.1:0"};
  auto process = Run(options);
  ASSERT_GT(process->AnnouncedStatusPort(), 0) << process->Stdout() << process->Stderr();
  EXPECT_TRUE(fs::exists(writing)) << "the running one's file was removed";
  EXPECT_TRUE(fs::exists(archiving)) << "the running one's archive file was removed";
  EXPECT_EQ(process->Stop(), 0) << process->Stderr();
  close(running);
}

}  // namespace
}  // namespace velunor
