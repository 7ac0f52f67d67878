// The service's one way to the disk: the few file operations it needs, so
// that a test can put a disk in between that fails a chosen write (full,
// not writable) without root. RealFileSystem() is plain POSIX and safe to
// use from any thread; a test's implementation says its own rule.
// Failures come back as a Status, never thrown: the operating system's
// error number (errno) and its words for it (FileErrorText adds the file).
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "shared/status.h"

namespace velunor {

// A file opened for writing; closed when destroyed. Not shared between threads.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  // Writes all of `bytes` after what was written before; on failure some of
  // them may be in the file already.
  virtual Status Append(std::string_view bytes) = 0;
  // Puts what was written on the disk.
  virtual Status Sync() = 0;
  // Closes the file; an error here may mean that written bytes are lost.
  virtual Status Close() = 0;
  // Where the next Append writes: the bytes written since opening.
  virtual std::uintmax_t position() const = 0;
};

// What Stat finds at a name.
struct FileInfo {
  bool exists = false;
  bool regular = false;
  bool link = false;  // only when not following links
  bool directory = false;
  std::uintmax_t size = 0;
  std::uintmax_t allocated = 0;  // disk space in whole blocks
  unsigned mode = 0;             // permission bits (07777)
  timespec modified{};
};

class FileSystem {
 public:
  enum class Open {
    kTruncate,   // created or emptied; a link is followed
    kAppend,     // created or appended to; a link is followed
    kCreateNew,  // created exclusively: fails with EEXIST for any name taken, a link included
  };

  virtual ~FileSystem() = default;

  // `opened` is null when the file cannot be opened.
  virtual Status OpenForWriting(const std::filesystem::path& file, Open mode,
                                std::unique_ptr<WritableFile>* opened) = 0;
  // The whole file into `bytes`.
  virtual Status ReadFile(const std::filesystem::path& file, std::string* bytes) = 0;
  virtual Status Rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
  // A name that is not there is no error; a link goes, never what it names.
  virtual Status Remove(const std::filesystem::path& file) = 0;
  virtual Status CreateDirectories(const std::filesystem::path& dir) = 0;
  // The names in `dir` (no "." or ".."), in no particular order; as many as
  // were read before a failure.
  virtual Status List(const std::filesystem::path& dir, std::vector<std::string>* names) = 0;
  // `exists` is false when nothing (or, following, a dangling link) is there.
  virtual FileInfo Stat(const std::filesystem::path& file, bool follow_links) = 0;
};

// The machine's file system.
FileSystem& RealFileSystem();

// The operating system's error `number` (an errno value) as a Status.
Status SystemError(int number);

// "file: reason", the way every layer reports a file it could not use.
std::string FileErrorText(const std::filesystem::path& file, const Status& failed);

}  // namespace velunor
