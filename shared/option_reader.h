// The command-line reader both programs use, so that they read and refuse
// options alike: "--name VALUE" options and "--name" flags; a value that is
// missing or empty (an empty directory would silently mean the default one)
// and an unknown argument are usage errors, reported as `status` (the caller
// prints its text with its usage text and exits with status 2). Never exits.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "shared/status.h"

namespace velunor {

// A usage error: the line the caller prints; its code is the exit status.
inline Status UsageError(std::string text) { return Status::Error(2, std::move(text)); }

struct KnownOption {
  enum class Kind {
    kFlag,           // --name
    kValue,          // --name VALUE, VALUE not empty
    kOptionalValue,  // --name [VALUE]: takes the next argument unless it is an option
  };
  std::string name;  // with its dashes, e.g. "--program-dir"
  Kind kind = Kind::kFlag;
};

struct ReadOptions {
  std::set<std::string> flags;                // flags and value options given
  std::map<std::string, std::string> values;  // the value of each value option given
  Status status;                              // not ok: the usage error

  bool Has(const std::string& name) const { return flags.count(name) != 0; }
  // The value, or `fallback` when the option was not given (or given without one).
  std::string Value(const std::string& name, const std::string& fallback = "") const;
};

// Reads `args` (without the program name) against the `known` options; "-h"
// counts as "--help" when "--help" is among them. The first error ends the reading.
ReadOptions ReadCommandLine(const std::vector<std::string>& args,
                            const std::vector<KnownOption>& known);

// What each program's main does first with its command line: a usage error
// goes to standard error as "PROGRAM: text" with the usage text (exit
// status 2), --help prints the usage text and --version `version_line` (0).
// nullopt: none of them, go on.
std::optional<int> AnswerUsage(const std::string& program, const Status& status, bool help,
                               bool version, const std::string& usage,
                               const std::string& version_line);

}  // namespace velunor
