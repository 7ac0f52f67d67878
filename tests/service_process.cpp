#include "tests/service_process.h"

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <regex>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace velunor::testing {

namespace fs = std::filesystem;

constexpr const char* kLibFaketime = VELUNOR_LIBFAKETIME;

ServiceProcess::ServiceProcess(const fs::path& binary, Options options)
    : options_(std::move(options)) {
  // The loader only warns about a missing preload library; the run would
  // then go on at the real time and fail for a less obvious reason.
  if (!fs::exists(kLibFaketime)) {
    throw std::runtime_error(std::string("libfaketime not found at ") + kLibFaketime);
  }
  fs::create_directories(options_.output_dir);
  std::vector<std::string> args = {
      binary.string(), "--program-dir", options_.program_dir.string(),
      "--headless",    "--tick-ms",     std::to_string(options_.tick_ms)};
  if (!options_.cert_store.empty())
    args.insert(args.end(), {"--cert-store", options_.cert_store.string()});
  if (options_.ticks > 0) args.insert(args.end(), {"--ticks", std::to_string(options_.ticks)});
  args.insert(args.end(), options_.arguments.begin(), options_.arguments.end());
  args.insert(args.begin(), options_.command_prefix.begin(), options_.command_prefix.end());

  // libfaketime preloaded into velunor itself rather than the faketime
  // command, which forks: signals must reach the service, not a wrapper.
  // "@" starts the clock at the given local time and lets it run.
  std::vector<std::string> env = {std::string("LD_PRELOAD=") + kLibFaketime,
                                  "FAKETIME=@" + options_.start_time};
  env.insert(env.end(), options_.environment.begin(), options_.environment.end());
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("LD_PRELOAD=", 0) != 0 && entry.rfind("FAKETIME", 0) != 0) env.push_back(entry);
  }
  const std::string program = args.front();
  pid_ = Spawn(std::move(args), {options_.output_dir / "stdout.txt",
                                 options_.output_dir / "stderr.txt", std::move(env), options_.fd3});
  if (pid_ < 0) throw std::runtime_error("cannot start " + program);
}

ServiceProcess::~ServiceProcess() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
}

int ServiceProcess::Wait(double seconds) {
  if (pid_ <= 0) return -1;
  int status = 0;
  const bool ended = WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, seconds);
  if (!ended) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
  }
  pid_ = -1;
  if (!ended) return -1;
  return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

void ServiceProcess::Signal(int signal_number) const {
  if (pid_ > 0) kill(pid_, signal_number);
}

bool ServiceProcess::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
  pid_ = -1;
  return false;
}

std::string ServiceProcess::Stdout() const { return ReadFile(options_.output_dir / "stdout.txt"); }
std::string ServiceProcess::Stderr() const { return ReadFile(options_.output_dir / "stderr.txt"); }

int ServiceProcess::AnnouncedStatusPort(double seconds) const {
  const std::regex announced(R"(Statusseite unter http://127\.0\.0\.1:(\d+)/)");
  int port = 0;
  WaitUntil(
      [&] {
        std::smatch m;
        const std::string out = Stdout();
        if (!std::regex_search(out, m, announced)) return false;
        port = std::stoi(m[1]);
        return true;
      },
      seconds);
  return port;
}

ServiceProcess::Options InstanceOptions(const fs::path& program_dir, const fs::path& cert_store,
                                        const fs::path& output_dir, const std::string& name,
                                        int lease_seconds) {
  return {.program_dir = program_dir,
          .cert_store = cert_store,
          .output_dir = output_dir,
          .arguments = {"--instance-name", name, "--lease-seconds", std::to_string(lease_seconds)}};
}

std::vector<std::string> ArchivedTransmissions(const fs::path& program_dir) {
  std::vector<std::string> sent;
  std::error_code ec;
  for (const auto& f : fs::directory_iterator(program_dir / "archive", ec)) {
    const std::string name = f.path().filename().string();
    if (name.size() > 19 && f.path().extension() == ".gz") {
      sent.push_back(name.substr(16, name.size() - 19));  // after "yyyymmdd-hhmmss-"
    }
  }
  std::sort(sent.begin(), sent.end());
  return sent;
}

}  // namespace velunor::testing
