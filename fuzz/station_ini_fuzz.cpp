// The STATION.INI reader on arbitrary bytes: it reads at most four values,
// at least one from any non-empty text, never more text than there is, and
// a file of four plain values, one per line, comes back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "service/core/station_ini.h"

namespace {

// A value that the free-format reader must return as it is when unquoted.
bool Plain(const std::string& v) {
  return v.find_first_of(",\r\n\"") == std::string::npos &&
         (v.empty() ||
          (v.front() != ' ' && v.front() != '\t' && v.back() != ' ' && v.back() != '\t'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const velunor::StationIni ini = velunor::ParseStationIni(text);
  if (ini.values_read < 0 || ini.values_read > 4) std::abort();
  if (!text.empty() && ini.values_read == 0) std::abort();
  if (ini.IniFeld1.size() + ini.DbServer.size() + ini.DbBenutzer.size() + ini.DbPasswort.size() >
      text.size()) {
    std::abort();
  }

  // The input cut into four pieces, written the usual way, one per line.
  const size_t q = text.size() / 4;
  const std::string parts[4] = {text.substr(0, q), text.substr(q, q), text.substr(2 * q, q),
                                text.substr(3 * q)};
  for (const std::string& part : parts) {
    if (!Plain(part)) return 0;
  }
  const velunor::StationIni lines = velunor::ParseStationIni(parts[0] + "\r\n" + parts[1] + "\r\n" +
                                                             parts[2] + "\r\n" + parts[3] + "\r\n");
  if (lines.values_read != 4 || lines.IniFeld1 != parts[0] || lines.DbServer != parts[1] ||
      lines.DbBenutzer != parts[2] || lines.DbPasswort != parts[3]) {
    std::abort();
  }
  return 0;
}
