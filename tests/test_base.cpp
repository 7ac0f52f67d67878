#include "tests/test_base.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace velunor::testing {

std::filesystem::path SourceRoot() {
  const char* root = std::getenv("VELUNOR_ROOT");
  return root != nullptr && *root != '\0' ? root : VELUNOR_SOURCE_ROOT;
}

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> ReadLines(const std::filesystem::path& file) {
  return SplitLines(ReadFile(file));
}

std::vector<std::string> ReadErrorLog(const std::filesystem::path& program_dir) {
  return ReadLines(program_dir / "MTS-Error-0.LOG");
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text.append(line).append("\n");
  return text;
}

std::string BackslashesDoubled(const std::string& text) {
  std::string out;
  for (const char c : text) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return out;
}

size_t LinesWith(const std::vector<std::string>& lines, const std::string& part) {
  return std::count_if(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(part) != line.npos; });
}

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

bool WaitUntil(const std::function<bool()>& condition, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<long>(seconds * 1000));
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

pid_t Spawn(std::vector<std::string> args, const SpawnOptions& options) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment = options.environment;
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);

  const std::string out = options.output.string();
  const std::string err = options.error.string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (err.empty()) {
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  } else {
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  if (options.fd3 >= 0) posix_spawn_file_actions_adddup2(&actions, options.fd3, 3);
  // Nothing else of the test's: a socket of a relay or a simulator that a
  // service inherited would keep that connection open after the test closed
  // it, and a database session of a killed instance alive with its locks.
  posix_spawn_file_actions_addclosefrom_np(&actions, options.fd3 >= 0 ? 4 : 3);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(),
                             environment.empty() ? environ : envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

TempDir::TempDir() {
  std::string name = (std::filesystem::temp_directory_path() / "velunor-test-XXXXXX").string();
  if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("cannot make " + name);
  path_ = name;
  // Readable by others, as a folder made the usual way: servers and programs
  // a test starts under another account read their files from it.
  using std::filesystem::perms;
  std::filesystem::permissions(path_, perms::owner_all | perms::group_read | perms::group_exec |
                                          perms::others_read | perms::others_exec);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Read(const std::string& name) const { return ReadFile(path_ / name); }

void TempDir::Write(const std::string& name, const std::string& bytes) const {
  WriteFile(path_ / name, bytes);
}

}  // namespace velunor::testing
