#include "shared/file_replace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace velunor {

namespace {

std::string Reason(const std::filesystem::path& file, int error_number) {
  return file.string() + ": " + std::strerror(error_number);
}

// A name beside `target` that nothing else uses: the target's name, a dot
// and random letters, tried until one can be created exclusively.
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path* temp,
                    std::string* error) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix = ".";
    for (int i = 0; i < 8; ++i) suffix += kLetters[random() % (sizeof kLetters - 1)];
    *temp = target;
    *temp += suffix + ".tmp";
    const int fd = open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) {
      *error = Reason(*temp, errno);
      return -1;
    }
  }
  *error = target.string() + ": no free temporary name beside it";
  return -1;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

}  // namespace

bool ReplaceFile(const std::filesystem::path& target, std::string_view bytes, std::string* error) {
  std::string reason;
  std::filesystem::path temp;
  const int fd = CreateTemporary(target, &temp, &reason);
  if (fd < 0) {
    if (error != nullptr) *error = reason;
    return false;
  }
  // The content is on the disk before the name points to it, so a crash or
  // a full disk leaves the old file whole.
  bool ok = WriteAll(fd, bytes) && fsync(fd) == 0;
  int saved = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && rename(temp.c_str(), target.c_str()) != 0) {
    if (error != nullptr) *error = Reason(target, errno);
    unlink(temp.c_str());
    return false;
  }
  if (!ok) {
    if (error != nullptr) *error = Reason(temp, saved);
    unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace velunor
