#include "service/core/command_line.h"

#include <charconv>

#include "shared/option_reader.h"

namespace velunor {

namespace {

bool ParseNumber(const std::string& text, long min, long* out) {
  long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < min) return false;
  *out = value;
  return true;
}

// The option `name`, when given, as a whole number of `unit` from `min` to
// `max` into `out`; a usage error otherwise.
template <typename T>
Status BoundedNumber(const ReadOptions& read, const std::string& name, long min, long max,
                     const std::string& unit, T* out) {
  if (!read.Has(name)) return Status();
  const std::string v = read.Value(name);
  long n = 0;
  if (!ParseNumber(v, min, &n) || n > max) {
    return UsageError(name + " needs a number of " + unit + " from " + std::to_string(min) +
                      " to " + std::to_string(max) + ", not '" + v + "'");
  }
  *out = static_cast<T>(n);
  return Status();
}

// A price in euros: digits with at most three decimals after a point, so
// that "1,5", "1e3", "nan" and "-0.1" are refused rather than guessed at.
bool ParseEuro(const std::string& text, double* out) {
  const size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  const auto digits = [](const std::string& s) {
    return s.find_first_not_of("0123456789") == std::string::npos;
  };
  if (whole.empty() || whole.size() > 3 || !digits(whole) || !digits(fraction) ||
      fraction.size() > 3 || (point != std::string::npos && fraction.empty())) {
    return false;
  }
  // from_chars, not strtod: the window's locale may take the point for a
  // thousands separator.
  return std::from_chars(text.data(), text.data() + text.size(), *out).ec == std::errc();
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  using Kind = KnownOption::Kind;
  const ReadOptions read = ReadCommandLine(args, {{"--help", Kind::kFlag},
                                                  {"--version", Kind::kFlag},
                                                  {"--headless", Kind::kFlag},
                                                  {"--program-dir", Kind::kValue},
                                                  {"--cert-store", Kind::kValue},
                                                  {"--lpg-dir", Kind::kValue},
                                                  {"--tick-ms", Kind::kValue},
                                                  {"--ticks", Kind::kValue},
                                                  {"--screenshot", Kind::kValue},
                                                  {"--status-address", Kind::kValue},
                                                  {"--archive-max-mb", Kind::kValue},
                                                  {"--instance-name", Kind::kValue},
                                                  {"--lease-seconds", Kind::kValue},
                                                  {"--price-band", Kind::kValue},
                                                  {"--price-jump", Kind::kValue},
                                                  {"--check", Kind::kFlag}});
  CommandLine c;
  c.status = read.status;
  if (!c.status.ok()) return c;
  c.help = read.Has("--help");
  c.version = read.Has("--version");
  c.headless = read.Has("--headless");
  c.program_dir = read.Value("--program-dir");
  c.cert_store = read.Value("--cert-store");
  c.lpg_dir = read.Value("--lpg-dir");
  c.screenshot = read.Value("--screenshot");
  c.check = read.Has("--check");
  if (read.Has("--status-address")) {
    const std::string v = read.Value("--status-address");
    c.status_address = ParseStatusAddress(v);
    if (!c.status_address) {
      c.status = UsageError("--status-address needs HOST:PORT (for example 127.0.0.1:8089), not '" +
                            v + "'");
      return c;
    }
  }
  c.status = BoundedNumber(read, "--archive-max-mb", 1, 1048576, "megabytes", &c.archive_max_mb);
  if (!c.status.ok()) return c;
  if (read.Has("--instance-name")) {
    c.instance_name = read.Value("--instance-name");
    // Shown in status lines and the journal: one printable line, and it
    // must fit the lease's column.
    bool printable = !c.instance_name.empty() && c.instance_name.size() <= 255;
    for (unsigned char ch : c.instance_name) printable &= ch >= 0x20 && ch != 0x7F;
    if (!printable) {
      c.status = UsageError("--instance-name needs a name of 1 to 255 printable characters");
      return c;
    }
  }
  c.status = BoundedNumber(read, "--lease-seconds", 15, 86400, "seconds", &c.lease_seconds);
  if (!c.status.ok()) return c;
  if (read.Has("--price-band")) {
    const std::string v = read.Value("--price-band");
    const size_t colon = v.find(':');
    double min = 0;
    double max = 0;
    if (colon == std::string::npos || !ParseEuro(v.substr(0, colon), &min) ||
        !ParseEuro(v.substr(colon + 1), &max) || min >= max) {
      c.status = UsageError(
          "--price-band needs MIN:MAX in euros per litre with MIN below MAX (for example "
          "0.500:3.500), not '" +
          v + "'");
      return c;
    }
    c.plausibility.band_min = min;
    c.plausibility.band_max = max;
  }
  if (read.Has("--price-jump")) {
    const std::string v = read.Value("--price-jump");
    if (!ParseEuro(v, &c.plausibility.jump)) {
      c.status = UsageError(
          "--price-jump needs a sum in euros (for example 0.300; 0 switches the rule off), "
          "not '" +
          v + "'");
      return c;
    }
  }
  c.status = BoundedNumber(read, "--tick-ms", 1, 3600000, "milliseconds", &c.tick_ms);
  if (!c.status.ok()) return c;
  if (read.Has("--ticks")) {
    const std::string v = read.Value("--ticks");
    if (!ParseNumber(v, 1, &c.ticks)) {
      c.status = UsageError("--ticks needs a positive number, not '" + v + "'");
      return c;
    }
  }
  if (!c.screenshot.empty() && (c.headless || c.ticks == 0)) {
    c.status = UsageError("--screenshot needs the window and --ticks");
  }
  return c;
}

std::string UsageText() {
  return "usage: velunor [--program-dir DIR] [--cert-store DIR] [--headless] [--tick-ms N] "
         "[--ticks N] [--screenshot FILE]\n"
         "               [--status-address HOST:PORT] [--archive-max-mb N] [--check]\n"
         "               [--instance-name NAME] [--lease-seconds N] [--lpg-dir DIR]\n"
         "               [--price-band MIN:MAX] [--price-jump EUR]\n"
         "  --program-dir DIR  directory with STATION.INI, Velunor.CFG and the logs\n"
         "                     (default: the directory of the program)\n"
         "  --cert-store DIR   certificate store (default: certstore in the program directory)\n"
         "  --lpg-dir DIR      the LPG-portal file (stammdaten 490) is written only inside DIR\n"
         "                     (default: anywhere but the program directory)\n"
         "  --headless         no window; status and communication lines go to standard output\n"
         "  --tick-ms N        timer interval in milliseconds (default 1000)\n"
         "  --ticks N          end after N ticks through the normal shutdown\n"
         "  --screenshot FILE  with the window and --ticks: save the window as a PNG at the\n"
         "                     first idle tick after the last one\n"
         "  --status-address HOST:PORT  serve the status page, /status.json, /health and\n"
         "                     /metrics there (default: none)\n"
         "  --archive-max-mb N cap of the archive of transmissions (default 2048)\n"
         "  --instance-name NAME  this instance's name for the reporter lease (default: the\n"
         "                     host name)\n"
         "  --lease-seconds N  how long an unrenewed reporter lease blocks a takeover\n"
         "                     (default 60, at least 15)\n"
         "  --price-band MIN:MAX  a new E5, E10 or Diesel price outside this band in euros\n"
         "                     is reported with a warning (default 0.500:3.500)\n"
         "  --price-jump EUR   so is one further than this from the last price (default\n"
         "                     0.300; 0: no jump rule)\n"
         "  --check            check STATION.INI, the database, Velunor.CFG, the certificate\n"
         "                     and both URLs, one line each, and exit (0: all OK)\n"
         "  --help, --version\n"
         "Signals: SIGTERM/SIGINT end at the next idle tick (twice: at once), SIGUSR1 starts a\n"
         "manual transfer.\n";
}

}  // namespace velunor
