// The command line of velunor: program directory, certificate store, headless
// mode, tick interval and tick limit. Parsing never exits; the caller prints
// `error` with the usage text and exits with status 2.
#pragma once

#include <string>
#include <vector>

namespace velunor {

struct CommandLine {
  std::string program_dir;  // empty: the directory of the executable
  std::string cert_store;   // empty: "certstore" in the program directory
  bool headless = false;
  int tick_ms = 1000;
  long ticks = 0;          // 0: no limit
  std::string screenshot;  // window only: saved as PNG before the end of --ticks
  bool help = false;
  bool version = false;
  std::string error;
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);
std::string UsageText();

}  // namespace velunor
