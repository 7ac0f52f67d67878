#include "tests/tcp_cutter.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "tests/test_support.h"

namespace velunor::testing {

namespace {

constexpr int kPollMs = 100;

// Writes all of `data`; false when the peer is gone.
bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

TcpCutter::TcpCutter(int target_port, Mode mode) : target_port_(target_port), mode_(mode) {
  // Every socket of the relay is closed on exec: a process the test starts
  // meanwhile (a service instance) would otherwise hold copies, and closing
  // or cutting a connection would then reach neither peer.
  listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (listen_fd_ < 0 || bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      listen(listen_fd_, 8) != 0 ||
      getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (listen_fd_ >= 0) close(listen_fd_);
    throw std::runtime_error("the TCP cutter cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

TcpCutter::~TcpCutter() {
  stop_ = true;
  thread_.join();
  for (std::thread& t : connections_) t.join();
  close(listen_fd_);
}

void TcpCutter::Serve() {
  while (!stop_) {
    pollfd p{listen_fd_, POLLIN, 0};
    if (frozen_ || poll(&p, 1, kPollMs) <= 0) {
      if (frozen_) usleep(kPollMs * 1000);
      continue;
    }
    const int client = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    ++accepted_;
    if (mode_ == Mode::kCloseAtOnce) {
      ++cut_;
      close(client);
      continue;
    }
    connections_.emplace_back([this, client, epoch = cut_epoch_.load()] {
      Relay(client, epoch);
      close(client);
    });
  }
}

void TcpCutter::Relay(int client, int epoch) {
  const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in target = Loopback(target_port_);
  if (server < 0 ||
      connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
    if (server >= 0) close(server);
    return;
  }
  // Passed on at once: waiting to fill segments would add the peers' delayed
  // acknowledgements (40 ms) to every request.
  const int on = 1;
  setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  size_t from_client = 0;
  char buffer[16384];
  while (!stop_) {
    if (cut_epoch_ != epoch) {
      ++cut_;
      break;
    }
    if (frozen_) {
      usleep(kPollMs * 1000);
      continue;
    }
    pollfd p[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    if (poll(p, 2, kPollMs) <= 0) continue;
    if (p[0].revents != 0) {
      const ssize_t n = recv(client, buffer, sizeof buffer, 0);
      if (n > 0 && tap_) tap_(buffer, static_cast<size_t>(n));
      if (n <= 0 || !WriteAll(server, buffer, static_cast<size_t>(n))) break;
      from_client += static_cast<size_t>(n);
      if (mode_ == Mode::kCloseDuringRequest && from_client >= kCutAfterBytes) {
        ++cut_;
        break;
      }
    }
    if (p[1].revents != 0) {
      const ssize_t n = recv(server, buffer, sizeof buffer, 0);
      if (n <= 0 || !WriteAll(client, buffer, static_cast<size_t>(n))) break;
    }
  }
  close(server);
}

}  // namespace velunor::testing
