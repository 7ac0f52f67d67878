#include "shared/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace velunor {

namespace {

Status LastError() { return SystemError(errno); }

Status Of(const std::error_code& ec) { return ec ? SystemError(ec.value()) : Status(); }

class PosixFile : public WritableFile {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override {
    if (fd_ >= 0) close(fd_);
  }

  Status Append(std::string_view bytes) override {
    while (!bytes.empty()) {
      const ssize_t n = write(fd_, bytes.data(), bytes.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        return LastError();
      }
      position_ += static_cast<std::uintmax_t>(n);
      bytes.remove_prefix(static_cast<size_t>(n));
    }
    return Status();
  }

  Status Sync() override { return fsync(fd_) == 0 ? Status() : LastError(); }

  Status Close() override {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0 ? Status() : LastError();
  }

  std::uintmax_t position() const override { return position_; }

 private:
  int fd_;
  std::uintmax_t position_ = 0;
};

class PosixFileSystem : public FileSystem {
 public:
  Status OpenForWriting(const std::filesystem::path& file, Open mode,
                        std::unique_ptr<WritableFile>* opened) override {
    opened->reset();
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    if (mode == Open::kTruncate) flags |= O_TRUNC;
    if (mode == Open::kAppend) flags |= O_APPEND;
    if (mode == Open::kCreateNew) flags |= O_EXCL | O_NOFOLLOW;
    const int fd = open(file.c_str(), flags, 0666);
    if (fd < 0) return LastError();
    *opened = std::make_unique<PosixFile>(fd);
    return Status();
  }

  Status ReadFile(const std::filesystem::path& file, std::string* bytes) override {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return LastError();
    bytes->clear();
    char buffer[65536];
    Status failed;
    for (;;) {
      const ssize_t n = read(fd, buffer, sizeof buffer);
      if (n == 0) break;
      if (n < 0) {
        if (errno == EINTR) continue;
        failed = LastError();
        break;
      }
      bytes->append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return failed;
  }

  Status Rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
    return rename(from.c_str(), to.c_str()) == 0 ? Status() : LastError();
  }

  Status Remove(const std::filesystem::path& file) override {
    std::error_code ec;
    std::filesystem::remove(file, ec);
    return Of(ec);
  }

  Status CreateDirectories(const std::filesystem::path& dir) override {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return Of(ec);
  }

  Status List(const std::filesystem::path& dir, std::vector<std::string>* names) override {
    names->clear();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
      names->push_back(entry.path().filename().string());
    }
    return Of(ec);
  }

  FileInfo Stat(const std::filesystem::path& file, bool follow_links) override {
    FileInfo info;
    struct stat st {};
    if ((follow_links ? stat(file.c_str(), &st) : lstat(file.c_str(), &st)) != 0) return info;
    info.exists = true;
    info.regular = S_ISREG(st.st_mode);
    info.link = S_ISLNK(st.st_mode);
    info.directory = S_ISDIR(st.st_mode);
    info.size = static_cast<std::uintmax_t>(st.st_size);
    info.allocated = static_cast<std::uintmax_t>(st.st_blocks) * 512;
    info.modified = st.st_mtim;
    info.mode = static_cast<unsigned>(st.st_mode & 07777);
    return info;
  }
};

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem real;
  return real;
}

Status SystemError(int number) {
  return Status::Error(number, std::generic_category().message(number));
}

std::string FileErrorText(const std::filesystem::path& file, const Status& failed) {
  return file.string() + ": " + failed.message();
}

}  // namespace velunor
