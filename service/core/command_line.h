// The command line of velunor: program directory, certificate store, headless
// mode, tick interval and tick limit, the status page's address, the
// archive's cap, the reporter lease, the price plausibility rule and the
// installer's self-check. Parsing never exits; on a usage error the caller
// prints `status`'s text with the usage text and exits with status 2.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "service/common/price_warning.h"
#include "service/status/status_server.h"
#include "shared/option_reader.h"

namespace velunor {

struct CommandLine {
  std::string program_dir;  // empty: the directory of the executable
  std::string cert_store;   // empty: "certstore" in the program directory
  std::string lpg_dir;      // empty: the LPG file may lie in any folder but the program's
  bool headless = false;
  int tick_ms = 1000;
  long ticks = 0;          // 0: no limit
  std::string screenshot;  // window only: saved as PNG before the end of --ticks
  std::optional<StatusAddress> status_address;  // none: no status page
  long archive_max_mb = 2048;
  std::string instance_name;  // empty: the host name
  int lease_seconds = 60;
  PlausibilityRule plausibility;  // --price-band MIN:MAX, --price-jump EUR
  bool check = false;             // check the setup and exit
  bool help = false;
  bool version = false;
  Status status;  // not ok: the usage error (UsageError)
};

CommandLine ParseCommandLine(const std::vector<std::string>& args);
std::string UsageText();

}  // namespace velunor
