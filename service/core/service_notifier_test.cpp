#include "service/core/service_notifier.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_base.h"

namespace velunor {
namespace {

// A datagram socket of the test's own in the place of systemd's, named in
// NOTIFY_SOCKET while the object lives.
class NotifySocket {
 public:
  explicit NotifySocket(const std::filesystem::path& path) : path_(path) {
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.string().copy(address.sun_path, sizeof address.sun_path - 1);
    bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    setenv("NOTIFY_SOCKET", path.c_str(), 1);
  }
  ~NotifySocket() {
    unsetenv("NOTIFY_SOCKET");
    close(fd_);
  }
  bool bound() const { return bound_; }
  // Every message received so far.
  std::vector<std::string> Messages() {
    std::vector<std::string> messages;
    char buffer[4096];
    for (ssize_t n; (n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;) {
      messages.emplace_back(buffer, static_cast<size_t>(n));
    }
    return messages;
  }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  bool bound_ = false;
};

// A standing problem (a status port not bound yet) stands before the status
// line until it is over.
TEST(ServiceNotifierTest, TellsTheServiceManagerReadinessStatusAliveAndStop) {
  testing::TempDir dir;
  NotifySocket manager(dir.path() / "notify");
  ASSERT_TRUE(manager.bound());
  ServiceState state;
  SystemdNotifier notifier(state);

  const auto status = [&](int second, const char* text) {
    state.SetStatusLine({DateTime{2026, 12, 6, 9, 5, second}, std::nullopt, text});
  };
  status(0, " Programmstart");
  notifier.Ready();
  status(1, " Warten auf Auftrag");
  status(2, " Warten auf Auftrag");  // only the time changed
  notifier.Alive();
  notifier.Problem("Statusseite: belegt");
  state.SetAlarm("ALARM: Preise");
  state.SetAcknowledged(PublicationKind::kStation, "2026-000001", DateTime{2026, 12, 6, 9, 5, 3},
                        0);
  notifier.Problem("");
  notifier.Stopping();
  EXPECT_EQ(
      manager.Messages(),
      (std::vector<std::string>{
          "STATUS=06.12.2026 09:05:00 Programmstart", "READY=1",
          "STATUS=06.12.2026 09:05:01 Warten auf Auftrag", "WATCHDOG=1",
          "STATUS=Statusseite: belegt | 06.12.2026 09:05:02 Warten auf Auftrag",
          "STATUS=Statusseite: belegt | ALARM: Preise | 06.12.2026 09:05:02 Warten auf Auftrag",
          "STATUS=ALARM: Preise | 06.12.2026 09:05:02 Warten auf Auftrag", "STOPPING=1"}));
}

}  // namespace
}  // namespace velunor
