// Reading "STATION.INI": four free-format values (reserved, database server,
// user, password), separated by commas or line ends; a value in double
// quotes may hold commas; blanks around unquoted values are dropped.
#pragma once

#include <array>
#include <filesystem>
#include <string>

#include "shared/file_system.h"
#include "shared/status.h"

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

// Reads the file's values into `ini`. Not ok: errno and the system's text
// for why it could not be opened or read (ENOENT: there is no such file);
// `ini` is left empty then. An unreadable file is never taken as an empty
// one: empty values would mean the local server's default account.
Status ReadStationIni(FileSystem& files, const std::filesystem::path& file, StationIni* ini);

// What the operator can do about a file that exists but could not be read
// (`failure` not ok and not ENOENT), for the account this process runs as.
std::string StationIniUnreadableFix(const std::filesystem::path& file, const Status& failure);

// The password of the placeholder that deploy/prepare-state writes: a file
// that still holds it has not been filled in.
inline constexpr const char* kStationIniPlaceholderPassword = "KENNWORT";

// The file holds the database password: a warning when its group or other
// accounts may read it, "" otherwise (also when its mode cannot be read).
std::string StationIniExposure(FileSystem& files, const std::filesystem::path& file);

}  // namespace velunor
