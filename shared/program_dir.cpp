#include "shared/program_dir.h"

namespace velunor {

static std::filesystem::path ExecutableDirectory(const char* argv0) {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) return exe.parent_path();
  return std::filesystem::absolute(argv0).parent_path();
}

ProgramLocations ResolveProgramLocations(const char* argv0, const std::string& program_dir,
                                         const std::string& cert_store) {
  ProgramLocations l;
  l.program_dir = std::filesystem::absolute(
      program_dir.empty() ? ExecutableDirectory(argv0) : std::filesystem::path(program_dir));
  l.cert_store =
      cert_store.empty() ? l.program_dir / "certstore" : std::filesystem::path(cert_store);
  return l;
}

}  // namespace velunor
