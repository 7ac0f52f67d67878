#include "shared/file_replace.h"

#include <random>

namespace velunor {

namespace {

constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr size_t kSuffixLetters = 8;
constexpr std::string_view kTemporaryEnd = ".tmp";

std::unique_ptr<WritableFile> CreateExclusively(FileSystem& fs, const std::filesystem::path& file,
                                                std::error_code& ec) {
  return fs.OpenForWriting(file, FileSystem::Open::kCreateNew, ec);
}

// The preferred name, when nothing but a regular file of an earlier run is in
// the way; null with `ec` from the last attempt otherwise.
std::unique_ptr<WritableFile> CreatePreferred(FileSystem& fs, const std::filesystem::path& temp,
                                              const ReplaceOptions& options, std::error_code& ec) {
  std::unique_ptr<WritableFile> file = CreateExclusively(fs, temp, ec);
  if (file || ec != std::errc::file_exists) return file;
  if (fs.Stat(temp, false).regular && !fs.Remove(temp)) {
    file = CreateExclusively(fs, temp, ec);
    if (file || ec != std::errc::file_exists) return file;
  }
  if (options.temporary_taken != nullptr) *options.temporary_taken = true;
  ec = std::make_error_code(std::errc::file_exists);
  return nullptr;
}

// A name beside `target` that nothing else uses: the target's name, a dot
// and random letters, tried until one can be created exclusively.
std::unique_ptr<WritableFile> CreateTemporary(FileSystem& fs, const std::filesystem::path& target,
                                              const ReplaceOptions& options,
                                              std::filesystem::path* temp, std::string* error) {
  std::error_code ec;
  if (!options.temporary.empty()) {
    *temp = options.temporary;
    std::unique_ptr<WritableFile> file = CreatePreferred(fs, *temp, options, ec);
    if (file) return file;
    if (ec != std::errc::file_exists) {
      *error = FileErrorText(*temp, ec);
      return nullptr;
    }
  }
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string suffix = ".";
    for (size_t i = 0; i < kSuffixLetters; ++i)
      suffix += kLetters[random() % (sizeof kLetters - 1)];
    *temp = target;
    *temp += suffix + ".tmp";
    std::unique_ptr<WritableFile> file = CreateExclusively(fs, *temp, ec);
    if (file) return file;
    if (ec != std::errc::file_exists) {
      *error = FileErrorText(*temp, ec);
      return nullptr;
    }
  }
  *error = target.string() + ": no free temporary name beside it";
  return nullptr;
}

}  // namespace

bool ReplaceFile(const std::filesystem::path& target, std::string_view bytes, std::string* error,
                 const ReplaceOptions& options) {
  return ReplaceFile(RealFileSystem(), target, bytes, error, options);
}

bool ReplaceFile(FileSystem& fs, const std::filesystem::path& target, std::string_view bytes,
                 std::string* error, const ReplaceOptions& options) {
  std::string reason;
  std::filesystem::path temp;
  std::unique_ptr<WritableFile> file = CreateTemporary(fs, target, options, &temp, &reason);
  if (!file) {
    if (error != nullptr) *error = reason;
    return false;
  }
  // The content is on the disk before the name points to it, so a crash or
  // a full disk leaves the old file whole.
  std::error_code failed = file->Append(bytes);
  if (!failed) failed = file->Sync();
  const std::error_code closed = file->Close();
  if (!failed) failed = closed;
  if (failed) {
    if (error != nullptr) *error = FileErrorText(temp, failed);
    fs.Remove(temp);
    return false;
  }
  if (const std::error_code renamed = fs.Rename(temp, target)) {
    if (error != nullptr) *error = FileErrorText(target, renamed);
    fs.Remove(temp);
    return false;
  }
  return true;
}

int RemoveStaleTemporaries(const std::filesystem::path& dir) {
  return RemoveStaleTemporaries(RealFileSystem(), dir);
}

int RemoveStaleTemporaries(FileSystem& fs, const std::filesystem::path& dir) {
  int removed = 0;
  std::error_code ec;
  for (const std::string& name : fs.List(dir, ec)) {
    const size_t dot = name.size() - kTemporaryEnd.size() - kSuffixLetters - 1;
    if (name.size() < kTemporaryEnd.size() + kSuffixLetters + 2 || !name.ends_with(kTemporaryEnd) ||
        name[dot] != '.' ||
        name.find_first_not_of(kLetters, dot + 1) != name.size() - kTemporaryEnd.size()) {
      continue;
    }
    // A link planted under such a name goes too, never what it points to.
    const FileInfo info = fs.Stat(dir / name, false);
    if (!info.link && !info.regular) continue;
    if (!fs.Remove(dir / name)) ++removed;
  }
  return removed;
}

}  // namespace velunor
