#include "shared/file_replace.h"

#include <cerrno>
#include <random>
#include <vector>

namespace velunor {

namespace {

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kSuffixLetters = 8;
constexpr std::string_view kTemporaryEnd = ".tmp";

Status CreateExclusively(FileSystem& fs, const std::filesystem::path& file,
                         std::unique_ptr<WritableFile>* created) {
  return fs.OpenForWriting(file, FileSystem::Open::kCreateNew, created);
}

// The preferred name, when nothing but a regular file of an earlier run is in
// the way; not ok (EEXIST when the name is taken) otherwise.
Status CreatePreferred(FileSystem& fs, const std::filesystem::path& temp,
                       const ReplaceOptions& options, std::unique_ptr<WritableFile>* created) {
  Status opened = CreateExclusively(fs, temp, created);
  if (opened.ok() || opened.code() != EEXIST) return opened;
  if (fs.Stat(temp, false).regular && fs.Remove(temp).ok()) {
    opened = CreateExclusively(fs, temp, created);
    if (opened.ok() || opened.code() != EEXIST) return opened;
  }
  if (options.temporary_taken != nullptr) *options.temporary_taken = true;
  return SystemError(EEXIST);
}

// A name beside `target` that nothing else uses: the target's name, a dot
// and random letters, tried until one can be created exclusively. Not ok:
// the text says which file and why.
Status CreateTemporary(FileSystem& fs, const std::filesystem::path& target,
                       const ReplaceOptions& options, std::filesystem::path* temp,
                       std::unique_ptr<WritableFile>* created) {
  if (!options.temporary.empty()) {
    *temp = options.temporary;
    const Status opened = CreatePreferred(fs, *temp, options, created);
    if (opened.ok()) return opened;
    if (opened.code() != EEXIST) return Status::Error(opened.code(), FileErrorText(*temp, opened));
  }
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix = ".";
    for (size_t i = 0; i < kSuffixLetters; ++i)
      suffix += kLetters[random() % (sizeof kLetters - 1)];
    *temp = target;
    *temp += suffix + ".tmp";
    const Status opened = CreateExclusively(fs, *temp, created);
    if (opened.ok()) return opened;
    if (opened.code() != EEXIST) return Status::Error(opened.code(), FileErrorText(*temp, opened));
  }
  return Status::Error(EEXIST, target.string() + ": no free temporary name beside it");
}

}  // namespace

Status ReplaceFile(const std::filesystem::path& target, std::string_view bytes,
                   const ReplaceOptions& options) {
  return ReplaceFile(RealFileSystem(), target, bytes, options);
}

Status ReplaceFile(FileSystem& fs, const std::filesystem::path& target, std::string_view bytes,
                   const ReplaceOptions& options) {
  std::filesystem::path temp;
  std::unique_ptr<WritableFile> file;
  if (Status created = CreateTemporary(fs, target, options, &temp, &file); !created.ok()) {
    return created;
  }
  // The content is on the disk before the name points to it, so a crash or
  // a full disk leaves the old file whole.
  Status failed = file->Append(bytes);
  if (failed.ok()) failed = file->Sync();
  const Status closed = file->Close();
  if (failed.ok()) failed = closed;
  if (!failed.ok()) {
    fs.Remove(temp);
    return Status::Error(failed.code(), FileErrorText(temp, failed));
  }
  if (const Status renamed = fs.Rename(temp, target); !renamed.ok()) {
    fs.Remove(temp);
    return Status::Error(renamed.code(), FileErrorText(target, renamed));
  }
  return Status();
}

int RemoveStaleTemporaries(const std::filesystem::path& dir) {
  return RemoveStaleTemporaries(RealFileSystem(), dir);
}

int RemoveStaleTemporaries(FileSystem& fs, const std::filesystem::path& dir) {
  int removed = 0;
  std::vector<std::string> names;
  fs.List(dir, &names);  // what could be read; the rest waits for the next start
  for (const std::string& name : names) {
    const size_t dot = name.size() - kTemporaryEnd.size() - kSuffixLetters - 1;
    if (name.size() < kTemporaryEnd.size() + kSuffixLetters + 2 || !name.ends_with(kTemporaryEnd) ||
        name[dot] != '.' ||
        name.find_first_not_of(kLetters, dot + 1) != name.size() - kTemporaryEnd.size()) {
      continue;
    }
    // A link planted under such a name goes too, never what it points to.
    const FileInfo info = fs.Stat(dir / name, false);
    if (!info.link && !info.regular) continue;
    if (fs.Remove(dir / name).ok()) ++removed;
  }
  return removed;
}

}  // namespace velunor
