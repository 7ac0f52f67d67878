#include "certmanager/kestrin_options.h"

#include "shared/option_reader.h"

namespace velunor {

KestrinOptions ParseKestrinOptions(const std::vector<std::string>& args) {
  using Kind = KnownOption::Kind;
  const ReadOptions read = ReadCommandLine(args, {{"--help", Kind::kFlag},
                                                  {"--version", Kind::kFlag},
                                                  {"--program-dir", Kind::kValue},
                                                  {"--cert-store", Kind::kValue},
                                                  {"--screenshot", Kind::kValue},
                                                  {"--list", Kind::kOptionalValue},
                                                  {"--show", Kind::kFlag},
                                                  {"--set", Kind::kFlag},
                                                  {"--certificate", Kind::kValue},
                                                  {"--station-url", Kind::kValue},
                                                  {"--price-url", Kind::kValue}});
  KestrinOptions o;
  o.status = read.status;
  o.help = read.Has("--help");
  o.version = read.Has("--version");
  o.program_dir = read.Value("--program-dir");
  o.cert_store = read.Value("--cert-store");
  o.screenshot = read.Value("--screenshot");
  o.list = read.Has("--list");
  o.list_store = read.Value("--list", "MY");
  o.show = read.Has("--show");
  o.set = read.Has("--set");
  o.certificate = read.Value("--certificate");
  o.station_url = read.Value("--station-url");
  o.price_url = read.Value("--price-url");
  if (!o.status.ok()) return o;
  const int modes =
      (o.list ? 1 : 0) + (o.show ? 1 : 0) + (o.set ? 1 : 0) + (o.screenshot.empty() ? 0 : 1);
  if (modes > 1) {
    o.status = UsageError("--list, --show, --set and --screenshot exclude each other");
  } else if (o.set && (o.certificate.empty() || o.station_url.empty() || o.price_url.empty())) {
    o.status = UsageError("--set needs --certificate, --station-url and --price-url");
  } else if (!o.set && !(o.certificate.empty() && o.station_url.empty() && o.price_url.empty())) {
    o.status = UsageError("--certificate, --station-url and --price-url belong to --set");
  }
  return o;
}

std::string KestrinUsage() {
  return "usage: kestrin [--program-dir DIR] [--cert-store DIR] [--screenshot FILE]\n"
         "       kestrin [--program-dir DIR] [--cert-store DIR] --list [STORE] | --show |\n"
         "               --set --certificate SUBJECT --station-url URL --price-url URL\n"
         "  --program-dir DIR  directory of Velunor.CFG (default: the directory of the program)\n"
         "  --cert-store DIR   certificate store (default: certstore in the program directory)\n"
         "  --screenshot FILE  save the window as a PNG after loading, then end without saving\n"
         "  --list [STORE]     print the certificates of a store (default MY), one per line\n"
         "  --show             print the settings of Velunor.CFG\n"
         "  --set              write Velunor.CFG as the window's \"Speichern\" does; the\n"
         "                     certificate must be in MY with its private key (exit 2 if not)\n"
         "Without --list, --show and --set the window opens (a display is needed).\n"
         "  --help, --version\n";
}

}  // namespace velunor
