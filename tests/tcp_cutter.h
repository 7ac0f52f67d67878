// A TCP relay on 127.0.0.1 in front of another local port, for tests of a
// connection that the far side drops: it passes connections through
// unchanged, closes them right after accepting, or closes them in the middle
// of the client's request (once the client has sent a given number of
// bytes), without any answer. A tap may watch what the client sends. It may
// also cut every open connection at once, or freeze: pass nothing either way
// and accept nothing, with the connections left open, as a network path
// that hangs. Each connection has a thread of its own; the mode may be
// changed from the test's thread at any time. No process the test starts
// inherits its sockets, so a cut or a closed client reaches the far side.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace velunor::testing {

class TcpCutter {
 public:
  enum class Mode { kPass, kCloseAtOnce, kCloseDuringRequest };

  // Listens on a free port; throws std::runtime_error when it cannot. The
  // target may be named later, before the first connection arrives.
  TcpCutter(int target_port, Mode mode);
  ~TcpCutter();
  TcpCutter(const TcpCutter&) = delete;
  TcpCutter& operator=(const TcpCutter&) = delete;

  int port() const { return port_; }
  void SetMode(Mode mode) { mode_ = mode; }
  void SetTarget(int port) { target_port_ = port; }
  // Closes every connection open now; later ones pass as the mode says.
  void CutOpenConnections() { ++cut_epoch_; }
  void SetFrozen(bool frozen) { frozen_ = frozen; }
  bool frozen() const { return frozen_; }
  // Connections accepted so far, and those closed by the cutter.
  int accepted() const { return accepted_; }
  int cut() const { return cut_; }
  // Called on the relay's thread with each piece the client sends, before
  // it is passed on. REQUIRES: set before the first connection arrives.
  void SetClientTap(std::function<void(const char* data, size_t size)> tap) {
    tap_ = std::move(tap);
  }

  // Bytes from the client after which kCloseDuringRequest closes.
  static constexpr size_t kCutAfterBytes = 8000;

 private:
  void Serve();
  void Relay(int client, int epoch);

  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<int> target_port_;
  std::atomic<Mode> mode_;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  std::atomic<int> cut_{0};
  std::atomic<int> cut_epoch_{0};
  std::atomic<bool> frozen_{false};
  std::vector<std::thread> connections_;  // joined when the cutter goes
  std::function<void(const char*, size_t)> tap_;
  std::thread thread_;
};

}  // namespace velunor::testing
