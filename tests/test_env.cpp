#include "tests/test_env.h"

#include <fstream>

namespace velunor::testing {

void WriteStationIni(const std::filesystem::path& program_dir, const std::string& server,
                     const std::string& user, const std::string& password) {
  const std::filesystem::path file = program_dir / "STATION.INI";
  std::ofstream(file, std::ios::binary) << "Test\r\n"
                                        << server << "\r\n"
                                        << user << "\r\n"
                                        << password << "\r\n";
  // As an installation leaves it: the password for the service's account only.
  std::filesystem::permissions(
      file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

void WriteSettings(const std::filesystem::path& program_dir, const std::string& subject,
                   const std::string& station_url, const std::string& price_url) {
  std::ofstream(program_dir / "Velunor.CFG", std::ios::binary) << subject << "\r\n"
                                                               << station_url << "\r\n"
                                                               << price_url << "\r\n";
}

TestEnv::TestEnv()
    : clock(DateTime{2026, 12, 6, 9, 5, 0}),
      log(dir.path(), clock),
      env{dir.path(), clock, log, service, host, RealFileSystem()} {}

std::vector<std::string> TestEnv::ErrorLines() const { return ReadErrorLog(dir.path()); }

}  // namespace velunor::testing
