#include "tests/faulty_file_system.h"

#include <algorithm>

namespace velunor::testing {

// The real file, whose appends a full-disk rule cuts short. The rule is
// looked up per append, so that healing the disk helps a file open already.
class FaultyFileSystem::File : public WritableFile {
 public:
  File(FaultyFileSystem& fs, std::filesystem::path path, std::unique_ptr<WritableFile> real)
      : fs_(fs), path_(std::move(path)), real_(std::move(real)) {}

  Status Append(std::string_view bytes) override {
    Rule* rule = fs_.Find(path_, false);
    if (rule == nullptr) return real_->Append(bytes);
    const size_t fits = static_cast<size_t>(std::min<std::uintmax_t>(rule->budget, bytes.size()));
    rule->budget -= fits;
    if (Status written = real_->Append(bytes.substr(0, fits)); !written.ok()) return written;
    return fits == bytes.size() ? Status() : fs_.Fail(rule->error);
  }
  Status Sync() override { return real_->Sync(); }
  Status Close() override { return real_->Close(); }
  std::uintmax_t position() const override { return real_->position(); }

 private:
  FaultyFileSystem& fs_;
  std::filesystem::path path_;
  std::unique_ptr<WritableFile> real_;
};

void FaultyFileSystem::FailWritesAfter(const std::filesystem::path& under, std::uintmax_t bytes,
                                       int error) {
  rules_.push_back({under.lexically_normal().string(), false, bytes, error});
}

void FaultyFileSystem::FailChanges(const std::filesystem::path& under, int error) {
  rules_.push_back({under.lexically_normal().string(), true, 0, error});
}

FaultyFileSystem::Rule* FaultyFileSystem::Find(const std::filesystem::path& file, bool changes) {
  const std::string name = file.lexically_normal().string();
  for (Rule& rule : rules_) {
    if (rule.changes == changes && name.rfind(rule.under, 0) == 0) return &rule;
  }
  return nullptr;
}

Status FaultyFileSystem::Fail(int error) {
  ++failures_;
  return SystemError(error);
}

Status FaultyFileSystem::OpenForWriting(const std::filesystem::path& file, Open mode,
                                        std::unique_ptr<WritableFile>* opened) {
  opened->reset();
  if (const Rule* rule = Find(file, true)) return Fail(rule->error);
  std::unique_ptr<WritableFile> real;
  if (Status open = RealFileSystem().OpenForWriting(file, mode, &real); !open.ok()) return open;
  *opened = std::make_unique<File>(*this, file, std::move(real));
  return Status();
}

Status FaultyFileSystem::ReadFile(const std::filesystem::path& file, std::string* bytes) {
  return RealFileSystem().ReadFile(file, bytes);
}

Status FaultyFileSystem::Rename(const std::filesystem::path& from,
                                const std::filesystem::path& to) {
  const Rule* rule = Find(from, true);
  if (rule == nullptr) rule = Find(to, true);
  if (rule != nullptr) return Fail(rule->error);
  return RealFileSystem().Rename(from, to);
}

Status FaultyFileSystem::Remove(const std::filesystem::path& file) {
  if (const Rule* rule = Find(file, true)) return Fail(rule->error);
  return RealFileSystem().Remove(file);
}

Status FaultyFileSystem::CreateDirectories(const std::filesystem::path& dir) {
  if (const Rule* rule = Find(dir, true)) return Fail(rule->error);
  return RealFileSystem().CreateDirectories(dir);
}

Status FaultyFileSystem::List(const std::filesystem::path& dir, std::vector<std::string>* names) {
  return RealFileSystem().List(dir, names);
}

FileInfo FaultyFileSystem::Stat(const std::filesystem::path& file, bool follow_links) {
  return RealFileSystem().Stat(file, follow_links);
}

}  // namespace velunor::testing
