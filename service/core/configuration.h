// What the service is told from outside, in one value, and the one loader
// that reads it. Each source is read at its own moment: the command line
// once by main, STATION.INI once by the start sequence (a reconnect uses its
// values again), Velunor.CFG at every load of the master data (the start
// and a takeover), so that a change saved with Kestrin counts from the next
// load. The loader only reads and records what it found; each caller reports
// a fault in its own words. Single-threaded: the window's thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "service/common/price_warning.h"
#include "service/core/command_line.h"
#include "service/core/station_ini.h"
#include "service/status/operations.h"
#include "service/status/status_server.h"
#include "shared/file_system.h"
#include "shared/settings_file.h"

namespace velunor {

struct Configuration {
  // From the command line, fixed for the run.
  std::filesystem::path program_dir;
  std::filesystem::path cert_store;
  std::filesystem::path lpg_dir;  // empty: none configured
  // None: no status page, unless the service manager hands over a socket.
  std::optional<StatusAddress> status_address;
  std::uintmax_t archive_max_bytes = Operations::kDefaultArchiveBytes;
  std::string instance_name;  // for the reporter lease; "": the host name
  int lease_seconds = 60;
  PlausibilityRule plausibility;  // what the price intake warns of

  // STATION.INI as the start read it, and why it could not be read (ok
  // before the start read it).
  StationIni station_ini;
  Status station_ini_status;
  // Velunor.CFG as the last load of the master data read it.
  SettingsFileRead settings_file;

  std::filesystem::path StationIniPath() const { return program_dir / kStationIniName; }
  std::filesystem::path SettingsFilePath() const { return program_dir / kSettingsFileName; }
};

// The files of the program directory that the loader reads.
enum class ConfigurationFile { kStationIni, kSettingsFile };

// The command line's part; `argv0` locates the program directory when the
// command line names none. The files are read later, each at its moment.
// REQUIRES: `command_line` parsed without error.
Configuration ConfigurationFromCommandLine(const CommandLine& command_line, const char* argv0);

// Reads `file` from the program directory into its part of `config`; the
// other parts stay. Never fails: a missing, unreadable or short file is
// recorded in the part for the caller to report.
void LoadConfigurationFile(FileSystem& files, Configuration& config, ConfigurationFile file);

}  // namespace velunor
