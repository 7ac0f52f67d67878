// The base of the test harness: folders, files, processes and logs. It knows
// nothing of the service, so any test binary may link it; the layers above
// (tests/test_env.h, tests/test_support.h) add the service's fakes and the
// private database. Helpers report failure by their result, never by throwing,
// except where a test could not go on (a folder that cannot be made).
#pragma once

#include <netinet/in.h>
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace velunor::testing {

// The repository's root: VELUNOR_ROOT (set by scripts/test), else the tree
// the tests were built from.
std::filesystem::path SourceRoot();

// The whole file as bytes; "" when it cannot be read.
std::string ReadFile(const std::filesystem::path& file);
// Writes `bytes` as the whole file, making the folders above it first.
void WriteFile(const std::filesystem::path& file, const std::string& bytes);
// The text's lines without their line ends (LF or CRLF).
std::vector<std::string> SplitLines(const std::string& text);
// The file's lines as SplitLines gives them; empty when there is none.
std::vector<std::string> ReadLines(const std::filesystem::path& file);

// The lines of the error log MTS-Error-0.LOG in `program_dir`, without line
// ends; empty when there is none.
std::vector<std::string> ReadErrorLog(const std::filesystem::path& program_dir);

// The lines joined with a line end each, for failure messages.
std::string Joined(const std::vector<std::string>& lines);

// `text` with each backslash doubled, as the error log and Kestrin's output
// lines write one.
std::string BackslashesDoubled(const std::string& text);

// How many of `lines` hold `part`.
size_t LinesWith(const std::vector<std::string>& lines, const std::string& part);

// How often `part` stands in `text`, overlaps counted.
size_t Occurrences(const std::string& text, const std::string& part);

// 127.0.0.1:`port`, for the tests' own sockets.
sockaddr_in Loopback(int port);

// A shell command's exit status (-1 when it did not exit normally) and what
// it wrote to standard output and standard error.
struct CommandResult {
  int status = -1;
  std::string output;
};
CommandResult RunCommand(const std::string& command);

// Polls `condition` every 10 ms; true as soon as it holds, false when it
// still does not after `seconds`.
bool WaitUntil(const std::function<bool()>& condition, double seconds);

// How Spawn starts a program: standard input from /dev/null, standard output
// into `output`, standard error into `error` (into `output` as well when
// empty).
struct SpawnOptions {
  std::filesystem::path output;
  std::filesystem::path error;
  // The whole environment as "NAME=value"; the test's own when empty.
  std::vector<std::string> environment;
  // Handed to the program as its fd 3; -1: none.
  int fd3 = -1;
};
// Starts args[0] with `args` as its command line, not through a shell.
// Returns its process id, or -1 when it cannot be started. The caller reaps it.
pid_t Spawn(std::vector<std::string> args, const SpawnOptions& options);

// Runs `undo` when it goes, also when the test failed on the way: puts back
// what a test changed outside itself (the shared database's schema).
class OnExit {
 public:
  explicit OnExit(std::function<void()> undo) : undo_(std::move(undo)) {}
  ~OnExit() { undo_(); }
  OnExit(OnExit&&) = delete;  // and so not copied either: the undo runs once

 private:
  std::function<void()> undo_;
};

// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(TempDir&&) = delete;  // and so not copied either: one owner removes it
  const std::filesystem::path& path() const { return path_; }
  std::string Read(const std::string& name) const;  // whole file, "" if missing
  void Write(const std::string& name, const std::string& bytes) const;

 private:
  std::filesystem::path path_;
};

}  // namespace velunor::testing
