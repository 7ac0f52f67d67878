#include "shared/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace velunor {

namespace {

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kSuffixLetters = 8;
constexpr std::string_view kTemporaryEnd = ".tmp";

std::string Reason(const std::filesystem::path& file, int error_number) {
  return file.string() + ": " + std::strerror(error_number);
}

int CreateExclusively(const std::filesystem::path& file) {
  return open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

// The preferred name, when nothing but a regular file of an earlier run is in
// the way; -1 with errno from the last attempt otherwise.
int CreatePreferred(const std::filesystem::path& temp, const ReplaceOptions& options) {
  int fd = CreateExclusively(temp);
  if (fd >= 0 || errno != EEXIST) return fd;
  struct stat st {};
  if (lstat(temp.c_str(), &st) == 0 && S_ISREG(st.st_mode) && unlink(temp.c_str()) == 0) {
    fd = CreateExclusively(temp);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  if (options.temporary_taken != nullptr) *options.temporary_taken = true;
  errno = EEXIST;
  return -1;
}

// A name beside `target` that nothing else uses: the target's name, a dot
// and random letters, tried until one can be created exclusively.
int CreateTemporary(const std::filesystem::path& target, const ReplaceOptions& options,
                    std::filesystem::path* temp, std::string* error) {
  if (!options.temporary.empty()) {
    *temp = options.temporary;
    const int fd = CreatePreferred(*temp, options);
    if (fd >= 0) return fd;
    if (errno != EEXIST) {
      *error = Reason(*temp, errno);
      return -1;
    }
  }
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix = ".";
    for (size_t i = 0; i < kSuffixLetters; ++i)
      suffix += kLetters[random() % (sizeof kLetters - 1)];
    *temp = target;
    *temp += suffix + ".tmp";
    const int fd = CreateExclusively(*temp);
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

bool ReplaceFile(const std::filesystem::path& target, std::string_view bytes, std::string* error,
                 const ReplaceOptions& options) {
  std::string reason;
  std::filesystem::path temp;
  const int fd = CreateTemporary(target, options, &temp, &reason);
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

int RemoveStaleTemporaries(const std::filesystem::path& dir) {
  int removed = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    const size_t dot = name.size() - kTemporaryEnd.size() - kSuffixLetters - 1;
    if (name.size() < kTemporaryEnd.size() + kSuffixLetters + 2 || !name.ends_with(kTemporaryEnd) ||
        name[dot] != '.' ||
        name.find_first_not_of(kLetters, dot + 1) != name.size() - kTemporaryEnd.size()) {
      continue;
    }
    // A link planted under such a name goes too, never what it points to.
    std::error_code kind;
    if (!entry.is_symlink(kind) && !entry.is_regular_file(kind)) continue;
    if (std::filesystem::remove(entry.path(), kind)) ++removed;
  }
  return removed;
}

}  // namespace velunor
