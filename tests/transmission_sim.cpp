#include "tests/transmission_sim.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "tests/test_support.h"
#include "tools/mdm-sim/request_store.h"

namespace velunor::testing {

namespace fs = std::filesystem;

MdmSim::MdmSim(const TestCertificates& certs, const fs::path& work, Config config)
    : work_(work), host_(config.host) {
  fs::create_directories(work_);
  const std::string server = config.rogue_server ? "rogue-server" : "server";
  std::vector<std::string> args = {VELUNOR_MDM_SIM};
  const auto option = [&](const char* name, const std::string& value) {
    args.insert(args.end(), {name, value});
  };
  option("--cert", (certs.sim / (server + ".pem")).string());
  option("--key", (certs.sim / (server + "-key.pem")).string());
  option("--client-ca", (certs.sim / "ca.pem").string());
  option("--requests", (work_ / "requests").string());
  option("--port-file", (work_ / "port").string());
  option("--control", (work_ / "control").string());
  option("--tls-version", config.tls_version);
  option("--host", config.host);
  for (const std::string& o : config.outcomes) option("--outcome", o);
  SpawnOptions console;
  console.output = work_ / "console.txt";
  pid_ = Spawn(std::move(args), console);
  if (pid_ < 0) throw std::runtime_error(std::string("cannot start ") + VELUNOR_MDM_SIM);

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string port = ReadFile(work_ / "port");
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

std::string MdmSim::RequestBody(int number) const { return StoredRequest(number, ".xml"); }

std::string MdmSim::Kinds() const {
  std::string kinds;
  for (int n = 1; n <= RequestCount(); ++n) {
    const std::string kind = Received(n).kind;
    kinds += kind == "PetrolStationPublication" ? "G" : kind == "FuelPricePublication" ? "P" : "?";
  }
  return kinds;
}

std::string MdmSim::RequestHeaders(int number) const { return StoredRequest(number, ".headers"); }

std::string MdmSim::RequestInfo(int number) const { return StoredRequest(number, ".info"); }

double MdmSim::RequestTime(int number) const {
  struct stat st {};
  const fs::path file = work_ / "requests" / (mdmsim::RequestStore::FileStem(number) + ".xml");
  if (stat(file.c_str(), &st) != 0)
    throw std::runtime_error("the simulator has no " + file.string());
  return static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9;
}

std::string MdmSim::Console() const { return ReadFile(work_ / "console.txt"); }

void MdmSim::SetOutcomes(const std::vector<std::string>& outcomes) const {
  const fs::path temp = work_ / "control.part";
  {
    std::ofstream out(temp, std::ios::binary);
    for (const std::string& o : outcomes) out << o << "\n";
  }
  fs::rename(temp, work_ / "control");
}

std::string MdmSim::StoredRequest(int number, const char* extension) const {
  const fs::path file = work_ / "requests" / (mdmsim::RequestStore::FileStem(number) + extension);
  if (!fs::exists(file)) throw std::runtime_error("the simulator has no " + file.string());
  return ReadFile(file);
}

void WriteProgramDir(const fs::path& program_dir, const std::string& db_server,
                     const TestCertificates& certs, const MdmSim& sim,
                     const std::string& station_url, const std::string& price_url) {
  fs::create_directories(program_dir);
  if (!db_server.empty()) {
    WriteStationIni(program_dir, db_server, TestDb::kUser, TestDb::kPassword);
  }
  WriteSettings(program_dir, certs.client_subject,
                station_url.empty() ? sim.Url("/mdm/stationdata") : station_url,
                price_url.empty() ? sim.Url("/mdm/pricedata") : price_url);
}

}  // namespace velunor::testing
