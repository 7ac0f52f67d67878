#include "tests/service_fixture.h"

namespace velunor::testing {

namespace fs = std::filesystem;

ServiceProcessTest::ServiceProcessTest()
    : certs_(dir_.path() / "certs"), sim_(certs_, dir_.path() / "sim", MdmSim::Config{{"ack"}}) {}

fs::path ServiceProcessTest::WriteProgramDir(const std::string& db_server,
                                             const std::string& station_url,
                                             fs::path program_dir) const {
  if (program_dir.empty()) program_dir = ProgramDir();
  testing::WriteProgramDir(program_dir, db_server, certs_, sim_, station_url);
  return program_dir;
}

ServiceProcess::Options ServiceProcessTest::Options(const std::string& output,
                                                    const fs::path& program_dir) const {
  ServiceProcess::Options options;
  options.program_dir = program_dir.empty() ? ProgramDir() : program_dir;
  options.cert_store = certs_.store;
  options.output_dir = dir_.path() / output;
  return options;
}

std::unique_ptr<ServiceProcess> ServiceProcessTest::Run(const ServiceProcess::Options& options) {
  return std::make_unique<ServiceProcess>(VELUNOR_BIN, options);
}

}  // namespace velunor::testing
