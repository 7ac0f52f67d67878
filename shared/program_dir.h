// Where both programs keep their files: the program directory (the
// executable's own directory unless the command line names another) and the
// certificate store root (default "certstore" in the program directory).
#pragma once

#include <filesystem>
#include <string>

namespace velunor {

struct ProgramLocations {
  std::filesystem::path program_dir;  // absolute
  std::filesystem::path cert_store;
};

// `program_dir` and `cert_store` are the command line's values ("" = default).
ProgramLocations ResolveProgramLocations(const char* argv0, const std::string& program_dir,
                                         const std::string& cert_store);

}  // namespace velunor
