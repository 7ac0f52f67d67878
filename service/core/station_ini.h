// Reading "STATION.INI": four free-format values (reserved, database server,
// user, password), separated by commas or line ends; a value in double
// quotes may hold commas; blanks around unquoted values are dropped.
#pragma once

#include <array>
#include <filesystem>
#include <string>

namespace velunor {

inline constexpr const char* kStationIniName = "STATION.INI";

struct StationIni {
  std::string IniFeld1;
  std::string DbServer;
  std::string DbBenutzer;
  std::string DbPasswort;
  int values_read = 0;  // fewer than 4: the file ended early; the rest stay empty
};

// Splits the file's text into its first four values.
StationIni ParseStationIni(const std::string& text);

// Reads the file; returns false when it cannot be opened.
bool ReadStationIni(const std::filesystem::path& file, StationIni* out);

// The file holds the database password: a warning when its group or other
// accounts may read it, "" otherwise (also when its mode cannot be read).
std::string StationIniExposure(const std::filesystem::path& file);

}  // namespace velunor
