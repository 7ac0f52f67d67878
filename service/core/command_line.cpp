#include "service/core/command_line.h"

#include <charconv>

namespace velunor {

namespace {

bool ParseNumber(const std::string& text, long min, long* out) {
  long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < min) return false;
  *out = value;
  return true;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine c;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= args.size()) {
        c.error = "option " + a + " needs a value";
        return false;
      }
      *out = args[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      c.help = true;
    } else if (a == "--version") {
      c.version = true;
    } else if (a == "--headless") {
      c.headless = true;
    } else if (a == "--program-dir") {
      if (!value(&c.program_dir)) return c;
    } else if (a == "--cert-store") {
      if (!value(&c.cert_store)) return c;
    } else if (a == "--tick-ms") {
      long n = 0;
      if (!value(&v)) return c;
      if (!ParseNumber(v, 1, &n) || n > 3600000) {
        c.error = "--tick-ms needs a number of milliseconds from 1 to 3600000, not '" + v + "'";
        return c;
      }
      c.tick_ms = static_cast<int>(n);
    } else if (a == "--ticks") {
      if (!value(&v)) return c;
      if (!ParseNumber(v, 1, &c.ticks)) {
        c.error = "--ticks needs a positive number, not '" + v + "'";
        return c;
      }
    } else {
      c.error = "unknown argument '" + a + "'";
      return c;
    }
  }
  return c;
}

std::string UsageText() {
  return "usage: velunor [--program-dir DIR] [--cert-store DIR] [--headless] [--tick-ms N] "
         "[--ticks N]\n"
         "  --program-dir DIR  directory with STATION.INI, Velunor.CFG and the logs\n"
         "                     (default: the directory of the program)\n"
         "  --cert-store DIR   certificate store (default: certstore in the program directory)\n"
         "  --headless         no window; status and communication lines go to standard output\n"
         "  --tick-ms N        timer interval in milliseconds (default 1000)\n"
         "  --ticks N          end after N ticks through the normal shutdown\n"
         "  --help, --version\n"
         "Signals: SIGTERM/SIGINT end at the next idle tick (twice: at once), SIGUSR1 starts a\n"
         "manual transfer.\n";
}

}  // namespace velunor
