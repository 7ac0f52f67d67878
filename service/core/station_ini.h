// Reading "STATION.INI": four free-format values (reserved, database server,
// user, password), separated by commas or line ends; a value in double
// quotes may hold commas; blanks around unquoted values are dropped.
#pragma once

#include <array>
#include <filesystem>
#include <string>

#include "shared/file_system.h"

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

// What reading the file found. An unreadable file is never taken as an
// empty one: empty values would mean the local server's default account.
struct StationIniRead {
  bool ok = false;       // the file was read; `ini` holds its values
  bool missing = false;  // there is no such file
  int error_number = 0;  // errno when it could not be opened or read
  std::string reason;    // the system's text for `error_number`
  StationIni ini;
};
StationIniRead ReadStationIni(FileSystem& files, const std::filesystem::path& file);

// What the operator can do about a file that exists but could not be read
// (`read.ok` false, `read.missing` false), for the account this process runs as.
std::string StationIniUnreadableFix(const std::filesystem::path& file, const StationIniRead& read);

// The password of the placeholder that deploy/prepare-state writes: a file
// that still holds it has not been filled in.
inline constexpr const char* kStationIniPlaceholderPassword = "KENNWORT";

// The file holds the database password: a warning when its group or other
// accounts may read it, "" otherwise (also when its mode cannot be read).
std::string StationIniExposure(FileSystem& files, const std::filesystem::path& file);

}  // namespace velunor
