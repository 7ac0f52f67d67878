// For the transmission's integration tests: a real mdm-sim process on
// a free port of 127.0.0.1, started per test and stopped (SIGTERM, then
// waited for) when the object goes.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/received_publication.h"
#include "tests/test_certificates.h"

namespace velunor::testing {

class MdmSim {
 public:
  struct Config {
    std::vector<std::string> outcomes;  // --outcome, in order
    std::string tls_version = "1.2";
    bool rogue_server = false;       // a server certificate of a CA nobody trusts
    std::string host = "127.0.0.1";  // another loopback address is not in the certificate
  };

  // Starts the simulator with its files below `work`; throws
  // std::runtime_error with its console output when it does not come up.
  MdmSim(const TestCertificates& certs, const std::filesystem::path& work, Config config);
  ~MdmSim();
  MdmSim(const MdmSim&) = delete;
  MdmSim& operator=(const MdmSim&) = delete;

  int port() const { return port_; }
  std::string Url(const std::string& path) const;  // "https://<host>:<port><path>"

  int RequestCount() const;
  std::string RequestBody(int number) const;
  ReceivedPublication Received(int number) const { return ParseReceived(RequestBody(number)); }
  // The kinds of all requests received, in order: "G" station, "P" price, "?" other.
  std::string Kinds() const;
  std::string RequestHeaders(int number) const;
  std::string RequestInfo(int number) const;
  // When the simulator had received the request, in seconds since the epoch.
  double RequestTime(int number) const;
  std::string Console() const;

  // The outcomes for the next requests, through the control file.
  void SetOutcomes(const std::vector<std::string>& outcomes) const;

 private:
  // The file of a stored request; throws std::runtime_error when there is none.
  std::string StoredRequest(int number, const char* extension) const;

  std::filesystem::path work_;
  std::string host_;
  pid_t pid_ = -1;
  int port_ = 0;
};

// Makes `program_dir` as an installation leaves it for a service that
// reports to `sim`: STATION.INI naming `db_server` (none when "") with the
// test database's account, and Velunor.CFG naming the client certificate,
// `station_url` and `price_url` (the simulator's when "").
void WriteProgramDir(const std::filesystem::path& program_dir, const std::string& db_server,
                     const TestCertificates& certs, const MdmSim& sim,
                     const std::string& station_url = "", const std::string& price_url = "");

}  // namespace velunor::testing
