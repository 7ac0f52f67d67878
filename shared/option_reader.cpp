#include "shared/option_reader.h"

#include <algorithm>
#include <cstdio>

#include "shared/output_line.h"

namespace velunor {

std::string ReadOptions::Value(const std::string& name, const std::string& fallback) const {
  const auto it = values.find(name);
  return it == values.end() ? fallback : it->second;
}

ReadOptions ReadCommandLine(const std::vector<std::string>& args,
                            const std::vector<KnownOption>& known) {
  ReadOptions read;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string name = args[i] == "-h" ? "--help" : args[i];
    const auto option = std::find_if(known.begin(), known.end(),
                                     [&](const KnownOption& o) { return o.name == name; });
    if (option == known.end()) {
      read.status = UsageError("unknown argument '" + args[i] + "'");
      return read;
    }
    read.flags.insert(name);
    const bool next_is_value = i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0;
    switch (option->kind) {
      case KnownOption::Kind::kFlag:
        break;
      case KnownOption::Kind::kValue:
        if (i + 1 >= args.size() || args[i + 1].empty()) {
          read.status = UsageError("option " + name + " needs a value");
          return read;
        }
        read.values[name] = args[++i];
        break;
      case KnownOption::Kind::kOptionalValue:
        if (next_is_value) {
          if (args[i + 1].empty()) {
            read.status = UsageError("option " + name + " needs a value");
            return read;
          }
          read.values[name] = args[++i];
        }
        break;
    }
  }
  return read;
}

std::optional<int> AnswerUsage(const std::string& program, const Status& status, bool help,
                               bool version, const std::string& usage,
                               const std::string& version_line) {
  if (!status.ok()) {
    PrintLine(stderr, program + ": " + status.message());
    std::fputs(usage.c_str(), stderr);
    return 2;
  }
  if (help) {
    std::fputs(usage.c_str(), stdout);
    return 0;
  }
  if (version) {
    std::printf("%s\n", version_line.c_str());
    return 0;
  }
  return std::nullopt;
}

}  // namespace velunor
