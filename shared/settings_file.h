// The settings file "Velunor.CFG" shared by the service and Kestrin: three
// lines (certificate subject, station data URL, price data URL), each ended
// by CR LF, taken whole. UTF-8. No check of the values is made here.
#pragma once

#include <filesystem>
#include <string>

#include "shared/file_system.h"
#include "shared/status.h"

namespace velunor {

inline constexpr const char* kSettingsFileName = "Velunor.CFG";

struct TransmissionSettings {
  std::string VerwendetesZertifikat;
  std::string UrlGrunddatenlieferung;
  std::string UrlPreisdatenlieferung;
};

struct SettingsFileRead {
  bool found = false;  // false: the file does not exist (values stay empty)
  int lines = 0;       // lines read, 0..3; fewer than 3 means the file was short
  TransmissionSettings values;
  // Why the file could not be read, if it exists but failed: "file: reason".
  Status status;
};

// Reads the first three lines; extra lines are ignored. A line ends at CR
// (an LF right after it is skipped) or, for files edited on Linux, at a lone LF.
SettingsFileRead ReadSettingsFile(FileSystem& files, const std::filesystem::path& file);
// The same on the machine's file system, for Kestrin.
SettingsFileRead ReadSettingsFile(const std::filesystem::path& file);

// Replaces the file with the three values, each followed by CR LF. Writes a
// temporary file beside it and renames it, so a reader never sees half a
// file. Not ok when the file cannot be written: which file and why.
Status WriteSettingsFile(const std::filesystem::path& file, const TransmissionSettings& values);

}  // namespace velunor
