#include "tests/transmission_sim.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "tools/mdm-sim/request_store.h"

extern char** environ;

namespace velunor::testing {

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TestCertificates::TestCertificates(const fs::path& dir, ClientFile file)
    : store(dir / "certstore"), sim(dir / "sim") {
  const char* option = file == ClientFile::kP12         ? " --p12"
                       : file == ClientFile::kLegacyP12 ? " --p12-legacy"
                                                        : "";
  const std::string cmd = std::string(VELUNOR_MAKE_TEST_CERTS) + option + " '" + store.string() +
                          "' '" + sim.string() + "' >/dev/null";
  if (std::system(cmd.c_str()) != 0) throw std::runtime_error("failed: " + cmd);
  client_subject = Slurp(sim / "client-subject.txt");
  while (!client_subject.empty() && client_subject.back() == '\n') client_subject.pop_back();
}

MdmSim::MdmSim(const TestCertificates& certs, const fs::path& work, Config config)
    : work_(work), host_(config.host) {
  fs::create_directories(work_);
  const std::string server = config.rogue_server ? "rogue-server" : "server";
  std::vector<std::string> args = {VELUNOR_MDM_SIM,
                                   "--cert",
                                   (certs.sim / (server + ".pem")).string(),
                                   "--key",
                                   (certs.sim / (server + "-key.pem")).string(),
                                   "--client-ca",
                                   (certs.sim / "ca.pem").string(),
                                   "--requests",
                                   (work_ / "requests").string(),
                                   "--port-file",
                                   (work_ / "port").string(),
                                   "--control",
                                   (work_ / "control").string(),
                                   "--tls-version",
                                   config.tls_version,
                                   "--host",
                                   config.host};
  for (const std::string& o : config.outcomes) {
    args.push_back("--outcome");
    args.push_back(o);
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string console = (work_ / "console.txt").string();
  posix_spawn_file_actions_addopen(&actions, 1, console.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error(std::string("cannot start ") + VELUNOR_MDM_SIM);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string port = Slurp(work_ / "port");
    if (!port.empty()) {
      port_ = std::atoi(port.c_str());
      return;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      throw std::runtime_error("mdm-sim ended at start: " + Console());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  throw std::runtime_error("mdm-sim did not come up: " + Console());
}

MdmSim::~MdmSim() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
}

std::string MdmSim::Url(const std::string& path) const {
  return "https://" + host_ + ":" + std::to_string(port_) + path;
}

int MdmSim::RequestCount() const {
  int n = 0;
  while (fs::exists(work_ / "requests" / (mdmsim::RequestStore::FileStem(n + 1) + ".xml"))) ++n;
  return n;
}

std::string MdmSim::RequestBody(int number) const {
  return ReadFile(work_ / "requests" / (mdmsim::RequestStore::FileStem(number) + ".xml"));
}

std::string MdmSim::RequestHeaders(int number) const {
  return ReadFile(work_ / "requests" / (mdmsim::RequestStore::FileStem(number) + ".headers"));
}

std::string MdmSim::RequestInfo(int number) const {
  return ReadFile(work_ / "requests" / (mdmsim::RequestStore::FileStem(number) + ".info"));
}

std::string MdmSim::Console() const { return Slurp(work_ / "console.txt"); }

void MdmSim::SetOutcomes(const std::vector<std::string>& outcomes) const {
  const fs::path temp = work_ / "control.part";
  {
    std::ofstream out(temp, std::ios::binary);
    for (const std::string& o : outcomes) out << o << "\n";
  }
  fs::rename(temp, work_ / "control");
}

std::string MdmSim::ReadFile(const fs::path& file) const {
  if (!fs::exists(file)) throw std::runtime_error("the simulator has no " + file.string());
  return Slurp(file);
}

}  // namespace velunor::testing
