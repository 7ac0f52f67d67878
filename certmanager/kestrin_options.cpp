#include "certmanager/kestrin_options.h"

namespace velunor {

KestrinOptions ParseKestrinOptions(const std::vector<std::string>& args) {
  KestrinOptions o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    std::string* target = nullptr;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "--program-dir") {
      target = &o.program_dir;
    } else if (a == "--cert-store") {
      target = &o.cert_store;
    } else if (a == "--screenshot") {
      target = &o.screenshot;
    } else {
      o.error = "unknown argument '" + a + "'";
      return o;
    }
    if (target == nullptr) continue;
    // An empty value would silently mean the default directory.
    if (i + 1 >= args.size() || args[i + 1].empty()) {
      o.error = "option " + a + " needs a value";
      return o;
    }
    *target = args[++i];
  }
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
