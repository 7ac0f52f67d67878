#include "certmanager/kestrin_options.h"

#include "shared/option_reader.h"

namespace velunor {

KestrinOptions ParseKestrinOptions(const std::vector<std::string>& args) {
  using Kind = KnownOption::Kind;
  const ReadOptions read = ReadCommandLine(args, {{"--help", Kind::kFlag},
                                                  {"--version", Kind::kFlag},
                                                  {"--program-dir", Kind::kValue},
                                                  {"--cert-store", Kind::kValue},
                                                  {"--screenshot", Kind::kValue}});
  KestrinOptions o;
  o.error = read.error;
  o.help = read.Has("--help");
  o.version = read.Has("--version");
  o.program_dir = read.Value("--program-dir");
  o.cert_store = read.Value("--cert-store");
  o.screenshot = read.Value("--screenshot");
  return o;
}

std::string KestrinUsage() {
  return "usage: kestrin [--program-dir DIR] [--cert-store DIR] [--screenshot FILE]\n"
         "  --program-dir DIR  directory of Velunor.CFG (default: the directory of the program)\n"
         "  --cert-store DIR   certificate store (default: certstore in the program directory)\n"
         "  --screenshot FILE  save the window as a PNG after loading, then end without saving\n"
         "  --help, --version\n";
}

}  // namespace velunor
