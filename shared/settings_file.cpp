#include "shared/settings_file.h"

#include "shared/file_replace.h"

#include <cerrno>

namespace velunor {

SettingsFileRead ReadSettingsFile(const std::filesystem::path& file) {
  return ReadSettingsFile(RealFileSystem(), file);
}

SettingsFileRead ReadSettingsFile(FileSystem& files, const std::filesystem::path& file) {
  SettingsFileRead result;
  if (!files.Stat(file, true).exists) return result;
  result.found = true;
  std::string content;
  const Status read = files.ReadFile(file, &content);
  // A folder at that name has always read as an empty file.
  if (!read.ok() && read.code() != EISDIR) {
    result.status = Status::Error(read.code(), FileErrorText(file, read));
    return result;
  }
  std::string* targets[] = {&result.values.VerwendetesZertifikat,
                            &result.values.UrlGrunddatenlieferung,
                            &result.values.UrlPreisdatenlieferung};
  size_t pos = 0;
  while (result.lines < 3 && pos < content.size()) {
    size_t end = content.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = content.size();
    *targets[result.lines++] = content.substr(pos, end - pos);
    pos = end;
    if (pos < content.size() && content[pos] == '\r') ++pos;
    if (pos < content.size() && content[pos] == '\n') ++pos;
  }
  return result;
}

Status WriteSettingsFile(const std::filesystem::path& file, const TransmissionSettings& values) {
  // The service reads the file at its start: it finds the old one or the
  // new one, never half of it.
  const std::string text = values.VerwendetesZertifikat + "\r\n" + values.UrlGrunddatenlieferung +
                           "\r\n" + values.UrlPreisdatenlieferung + "\r\n";
  return ReplaceFile(file, text);
}

}  // namespace velunor
