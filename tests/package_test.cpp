// The Debian package as an administrator uses it: built with scripts/package
// from this build, read with dpkg-deb, installed on this machine with apt-get
// (which satisfies its runtime dependencies), set up with the installed
// kestrin and checked with the installed velunor --check against the private
// MariaDB and the endpoint simulator, then removed and purged. systemd is not
// booted here, so "systemctl enable --now velunor" is the one step left out.
// Needs root and a machine without velunor installed; skipped otherwise.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/test_support.h"
#include "tests/transmission_sim.h"

namespace velunor {
namespace {

namespace fs = std::filesystem;
using testing::CommandResult;
using testing::MdmSim;
using testing::RunCommand;
using testing::TempDir;
using testing::TestCertificates;
using testing::TestDb;

const fs::path kDir = "/opt/velunor";

// "1770 root:velunor" for a path.
std::string ModeAndOwner(const fs::path& path) {
  return RunCommand("stat -c '%a %U:%G' '" + path.string() + "'").output;
}

void WriteAs(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
  RunCommand("chown velunor:velunor '" + file.string() + "' && chmod 0600 '" + file.string() + "'");
}

TEST(PackageTest, BuildsInstallsChecksRemovesAndPurges) {
  if (geteuid() != 0) GTEST_SKIP() << "dpkg -i needs root";
  if (fs::exists(kDir) || RunCommand("getent passwd velunor").status == 0) {
    GTEST_SKIP() << "velunor is installed on this machine; the test leaves it alone";
  }
  TempDir work;
  const CommandResult built = RunCommand(
      "VELUNOR_BUILD_DIR='" + std::string(VELUNOR_BUILD_DIR) + "' '" + VELUNOR_SOURCE_ROOT +
      "/scripts/package' --no-build '" + (work.path() / "package").string() + "'");
  ASSERT_EQ(built.status, 0) << built.output;
  // The last line names the package.
  std::string last = built.output.substr(0, built.output.find_last_not_of('\n') + 1);
  const fs::path package = last.substr(last.rfind('\n') + 1);
  ASSERT_TRUE(fs::exists(package)) << built.output;
  EXPECT_EQ(package.filename().string().rfind("velunor_", 0), 0u);
  EXPECT_NE(package.filename().string().find("_amd64.deb"), std::string::npos);

  // What it holds, and what it needs: runtime libraries only.
  const std::string contents = RunCommand("dpkg-deb -c '" + package.string() + "'").output;
  for (const char* file : {"./opt/velunor/velunor", "./opt/velunor/kestrin",
                           "./opt/velunor/README.md", "./opt/velunor/sql/lox-schema.sql",
                           "./opt/velunor/odbc-register", "./lib/systemd/system/velunor.service"}) {
    EXPECT_NE(contents.find(file), std::string::npos) << file << "\n" << contents;
  }
  const std::string depends = RunCommand("dpkg-deb -f '" + package.string() + "' Depends").output;
  for (const char* needed : {"odbc-mariadb", "unixodbc", "libqt6widgets6", "libcurl4"}) {
    EXPECT_NE(depends.find(needed), std::string::npos) << needed << ": " << depends;
  }
  const std::regex build_only(
      R"((.*-dev|gcc(-\d+)?|g\+\+(-\d+)?|clang(-\d+)?|cmake|make|binutils|build-essential|dpkg-dev))");
  std::istringstream entries(depends);
  for (std::string entry; std::getline(entries, entry, ',');) {
    std::istringstream words(entry);
    std::string name;
    words >> name;
    EXPECT_FALSE(std::regex_match(name, build_only)) << name << ": " << depends;
  }

  // Installed, its dependencies satisfied by apt-get.
  const CommandResult installed = RunCommand(
      "DEBIAN_FRONTEND=noninteractive apt-get install -y -q "
      "--no-install-recommends '" +
      package.string() + "'");
  ASSERT_EQ(installed.status, 0) << installed.output;
  EXPECT_NE(RunCommand("getent passwd velunor").output.find(":/opt/velunor:/usr/sbin/nologin"),
            std::string::npos);
  EXPECT_EQ(ModeAndOwner(kDir), "1770 root:velunor\n");
  EXPECT_EQ(ModeAndOwner(kDir / "velunor"), "755 root:root\n");
  EXPECT_EQ(ModeAndOwner(kDir / "STATION.INI"), "600 velunor:velunor\n");
  EXPECT_EQ(ModeAndOwner(kDir / "certstore"), "700 velunor:velunor\n");
  EXPECT_EQ(ModeAndOwner(kDir / "certstore" / "MY"), "700 velunor:velunor\n");
  const std::string unit = testing::ReadFile("/lib/systemd/system/velunor.service");
  EXPECT_NE(unit.find("\nExecStart=/opt/velunor/velunor --headless --program-dir /opt/velunor "
                      "--status-address 127.0.0.1:8089\n"),
            std::string::npos)
      << unit;
  EXPECT_NE(unit.find("\nReadWritePaths=/opt/velunor\n"), std::string::npos) << unit;
  EXPECT_EQ(unit.find("_DIR@"), std::string::npos) << "every placeholder filled in";

  // Set up as the README says, as the service's account, and checked.
  TestCertificates certs(work.path() / "certs");
  MdmSim sim(certs, work.path() / "sim", MdmSim::Config{{"ack"}});
  WriteAs(kDir / "STATION.INI", "LOX\r\n" + TestDb::Server() + "\r\n" + TestDb::kUser + "\r\n" +
                                    TestDb::kPassword + "\r\n");
  ASSERT_EQ(RunCommand("cp -r '" + certs.store.string() +
                       "'/. /opt/velunor/certstore/ && "
                       "chown -R velunor:velunor /opt/velunor/certstore")
                .status,
            0);
  const CommandResult set =
      RunCommand("runuser -u velunor -- /opt/velunor/kestrin --set --certificate '" +
                 certs.client_subject + "' --station-url '" + sim.Url("/mdm/stationdata") +
                 "' --price-url '" + sim.Url("/mdm/pricedata") + "'");
  EXPECT_EQ(set.status, 0) << set.output;
  const CommandResult check =
      RunCommand("runuser -u velunor -- /opt/velunor/velunor --check --program-dir /opt/velunor");
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_NE(check.output.find("Alle Prüfungen bestanden"), std::string::npos) << check.output;

  // Removed: the programs go, the operator's data and the account stay.
  const CommandResult removed = RunCommand("dpkg -r velunor");
  ASSERT_EQ(removed.status, 0) << removed.output;
  EXPECT_FALSE(fs::exists(kDir / "velunor"));
  EXPECT_FALSE(fs::exists("/lib/systemd/system/velunor.service"));
  EXPECT_TRUE(fs::exists(kDir / "STATION.INI"));
  EXPECT_TRUE(fs::exists(kDir / "Velunor.CFG"));
  EXPECT_EQ(RunCommand("getent passwd velunor").status, 0);

  // Purged: nothing left.
  const CommandResult purged = RunCommand("dpkg -P velunor");
  ASSERT_EQ(purged.status, 0) << purged.output;
  EXPECT_FALSE(fs::exists(kDir));
  EXPECT_NE(RunCommand("getent passwd velunor").status, 0);
  EXPECT_NE(RunCommand("getent group velunor").status, 0);
}

}  // namespace
}  // namespace velunor
