// The command line of kestrin: program directory, certificate store, an
// optional screenshot file, and the modes without a window (--list, --show,
// --set). Parsing never exits; on a usage error the caller prints
// `status`'s text with the usage text and exits with status 2.
#pragma once

#include <string>
#include <vector>

#include "shared/option_reader.h"

namespace velunor {

struct KestrinOptions {
  std::string program_dir;  // empty: the directory of the executable
  std::string cert_store;   // empty: "certstore" in the program directory
  std::string screenshot;   // non-empty: save the loaded window as this PNG and end
  bool list = false;        // print the certificates of `list_store`
  std::string list_store = "MY";
  bool show = false;  // print the settings of Velunor.CFG
  bool set = false;   // write Velunor.CFG from the three values below
  std::string certificate;
  std::string station_url;
  std::string price_url;
  bool help = false;
  bool version = false;
  Status status;  // not ok: the usage error (UsageError)
};

KestrinOptions ParseKestrinOptions(const std::vector<std::string>& args);
std::string KestrinUsage();

}  // namespace velunor
