#include "service/core/instance_token.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace velunor {

namespace {

constexpr size_t kTokenLength = 32;

std::string RandomToken() {
  std::random_device random;  // the kernel's random source
  static constexpr char kHex[] = "0123456789abcdef";
  std::string token;
  while (token.size() < kTokenLength) {
    unsigned bits = random();
    for (int i = 0; i < 8 && token.size() < kTokenLength; ++i, bits >>= 4) {
      token += kHex[bits & 0xF];
    }
  }
  return token;
}

bool IsToken(const std::string& text) {
  if (text.size() != kTokenLength) return false;
  for (char c : text) {
    if ((c < '0' || c > '9') && (c < 'a' || c > 'f')) return false;
  }
  return true;
}

std::string Errno(const std::filesystem::path& file) {
  return file.string() + ": " + std::strerror(errno);
}

}  // namespace

InstanceToken::InstanceToken(const std::filesystem::path& program_dir) {
  const std::filesystem::path file = program_dir / kInstanceTokenFileName;
  // Exclusive creation: of two first starts at once, one makes the file and
  // the other reads it (and then finds it locked).
  int fd = open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  const bool made = fd >= 0;
  if (!made && errno == EEXIST) fd = open(file.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    problem_ = Errno(file);
    value_ = RandomToken();
    return;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    problem_ = file.string() + " gehört einem anderen laufenden Velunor";
    value_ = RandomToken();
    return;
  }
  fd_ = fd;
  if (!made) {
    char text[kTokenLength + 2] = {};
    const ssize_t n = pread(fd_, text, sizeof text - 1, 0);
    std::string read(text, n > 0 ? static_cast<size_t>(n) : 0);
    while (!read.empty() && (read.back() == '\n' || read.back() == '\r')) read.pop_back();
    if (IsToken(read)) {
      value_ = read;
      return;
    }
  }
  // New, or left empty by a crash right after its creation.
  value_ = RandomToken();
  const std::string line = value_ + "\n";
  if (ftruncate(fd_, 0) != 0 ||
      pwrite(fd_, line.data(), line.size(), 0) != static_cast<ssize_t>(line.size()) ||
      fsync(fd_) != 0) {
    problem_ = Errno(file);
  }
}

std::string RandomNonce() { return RandomToken(); }

InstanceToken::~InstanceToken() {
  if (fd_ >= 0) close(fd_);
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "";
  return name;
}

}  // namespace velunor
