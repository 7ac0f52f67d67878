// The command line of kestrin: program directory, certificate store and an
// optional screenshot file. Parsing never exits; the caller prints `error`
// with the usage text and exits with status 2.
#pragma once

#include <string>
#include <vector>

namespace velunor {

struct KestrinOptions {
  std::string program_dir;  // empty: the directory of the executable
  std::string cert_store;   // empty: "certstore" in the program directory
  std::string screenshot;   // non-empty: save the loaded window as this PNG and end
  bool help = false;
  bool version = false;
  std::string error;
};

KestrinOptions ParseKestrinOptions(const std::vector<std::string>& args);
std::string KestrinUsage();

}  // namespace velunor
