#include "service/core/configuration.h"

#include "shared/program_dir.h"

namespace velunor {

Configuration ConfigurationFromCommandLine(const CommandLine& command_line, const char* argv0) {
  const ProgramLocations locations =
      ResolveProgramLocations(argv0, command_line.program_dir, command_line.cert_store);
  Configuration config;
  config.program_dir = locations.program_dir;
  config.cert_store = locations.cert_store;
  config.lpg_dir = command_line.lpg_dir;
  config.status_address = command_line.status_address;
  config.archive_max_bytes = static_cast<std::uintmax_t>(command_line.archive_max_mb) * 1024 * 1024;
  config.instance_name = command_line.instance_name;
  config.lease_seconds = command_line.lease_seconds;
  config.plausibility = command_line.plausibility;
  return config;
}

void LoadConfigurationFile(FileSystem& files, Configuration& config, ConfigurationFile file) {
  switch (file) {
    case ConfigurationFile::kStationIni:
      config.station_ini_status =
          ReadStationIni(files, config.StationIniPath(), &config.station_ini);
      return;
    case ConfigurationFile::kSettingsFile:
      config.settings_file = ReadSettingsFile(files, config.SettingsFilePath());
      return;
  }
}

}  // namespace velunor
