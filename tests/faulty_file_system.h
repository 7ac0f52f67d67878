// A file system for tests that passes everything to the real one unless a
// rule says otherwise: writes under a path fail once a budget of bytes is
// spent (a full disk: ENOSPC), or every change under a path fails at once (a
// folder that is not writable: EACCES). Counts the failures it caused, so a
// test can tell that its fault was hit. Single-threaded.
#pragma once

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "shared/file_system.h"

namespace velunor::testing {

class FaultyFileSystem : public FileSystem {
 public:
  // Appends to files under `under` write `bytes` more bytes in all, then fail
  // with `error` (the part that fits is written, as on a disk that fills up).
  void FailWritesAfter(const std::filesystem::path& under, std::uintmax_t bytes,
                       int error = ENOSPC);
  // Opening for writing, renaming, removing and making folders under
  // `under` fail with `error`.
  void FailChanges(const std::filesystem::path& under, int error = EACCES);
  // Space returns: no rule any more.
  void Heal() { rules_.clear(); }
  // Operations failed by a rule so far.
  int failures() const { return failures_; }

  Status OpenForWriting(const std::filesystem::path& file, Open mode,
                        std::unique_ptr<WritableFile>* opened) override;
  Status ReadFile(const std::filesystem::path& file, std::string* bytes) override;
  Status Rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
  Status Remove(const std::filesystem::path& file) override;
  Status CreateDirectories(const std::filesystem::path& dir) override;
  Status List(const std::filesystem::path& dir, std::vector<std::string>* names) override;
  FileInfo Stat(const std::filesystem::path& file, bool follow_links) override;

 private:
  class File;
  struct Rule {
    std::string under;
    bool changes;               // FailChanges, else FailWritesAfter
    std::uintmax_t budget = 0;  // bytes still allowed
    int error;
  };
  // The rule for `file` of the kind asked for; null when none.
  Rule* Find(const std::filesystem::path& file, bool changes);
  Status Fail(int error);

  std::vector<Rule> rules_;
  int failures_ = 0;
};

}  // namespace velunor::testing
