#include "shared/option_reader.h"

#include <algorithm>

namespace velunor {

std::string ReadOptions::Value(const std::string& name, const std::string& fallback) const {
  const auto it = values.find(name);
  return it == values.end() ? fallback : it->second;
}

ReadOptions ReadCommandLine(const std::vector<std::string>& args,
                            const std::vector<OptionSpec>& spec) {
  ReadOptions read;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string name = args[i] == "-h" ? "--help" : args[i];
    const auto option =
        std::find_if(spec.begin(), spec.end(), [&](const OptionSpec& o) { return o.name == name; });
    if (option == spec.end()) {
      read.error = "unknown argument '" + args[i] + "'";
      return read;
    }
    read.flags.insert(name);
    const bool next_is_value = i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0;
    switch (option->kind) {
      case OptionSpec::Kind::kFlag:
        break;
      case OptionSpec::Kind::kValue:
        if (i + 1 >= args.size() || args[i + 1].empty()) {
          read.error = "option " + name + " needs a value";
          return read;
        }
        read.values[name] = args[++i];
        break;
      case OptionSpec::Kind::kOptionalValue:
        if (next_is_value) {
          if (args[i + 1].empty()) {
            read.error = "option " + name + " needs a value";
            return read;
          }
          read.values[name] = args[++i];
        }
        break;
    }
  }
  return read;
}

}  // namespace velunor
