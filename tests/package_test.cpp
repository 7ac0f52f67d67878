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
const fs::path kState = "/var/lib/velunor";
// Root's own file and folder, which a link the account plants points at.
const fs::path kRootFile = "/etc/velunor-test-root-file";
const fs::path kRootDir = "/etc/velunor-test-root-dir";

// "755 root:root" for a path (the link itself for a link).
std::string ModeAndOwner(const fs::path& path) {
  return RunCommand("stat -c '%a %U:%G' '" + path.string() + "'").output;
}

// A shell command run as the service's account.
CommandResult AsAccount(const std::string& command) {
  return RunCommand("runuser -u velunor -- sh -c \"" + command + "\"");
}

// Root's file and folder are as the test made them.
void ExpectRootsUntouched() {
  EXPECT_EQ(ModeAndOwner(kRootFile), "640 root:root\n");
  EXPECT_EQ(testing::ReadFile(kRootFile), "root's\n");
  EXPECT_EQ(ModeAndOwner(kRootDir), "755 root:root\n");
  EXPECT_TRUE(fs::is_empty(kRootDir));
}

TEST(PackageTest, BuildsInstallsUpgradesChecksRemovesAndPurges) {
  if (geteuid() != 0) GTEST_SKIP() << "dpkg -i needs root";
  if (fs::exists(kDir) || fs::exists(kState) || RunCommand("getent passwd velunor").status == 0) {
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
  for (const char* file :
       {"./opt/velunor/velunor", "./opt/velunor/kestrin", "./opt/velunor/README.md",
        "./opt/velunor/sql/lox-schema.sql", "./opt/velunor/odbc-register",
        "./opt/velunor/prepare-state", "./lib/systemd/system/velunor.service",
        "./lib/systemd/system/velunor.socket"}) {
    EXPECT_NE(contents.find(file), std::string::npos) << file << "\n" << contents;
  }
  // /opt is base-files': a package that listed it would take it along on a
  // machine where nothing else is in it.
  EXPECT_EQ(contents.find(" ./opt/\n"), std::string::npos) << contents;
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

  // The earlier package's layout: the account's files beside the programs in
  // a folder it could write, and a link it planted there to root's file.
  TestCertificates certs(work.path() / "certs");
  MdmSim sim(certs, work.path() / "sim", MdmSim::Config{{"ack"}});
  ASSERT_EQ(RunCommand("rm -rf " + kRootFile.string() + " " + kRootDir.string() +
                       " && printf \"root's\\n\" >" + kRootFile.string() + " && chmod 0640 " +
                       kRootFile.string() + " && install -d -m 0755 " + kRootDir.string())
                .status,
            0);
  ASSERT_EQ(RunCommand("useradd --system --user-group --home-dir /opt/velunor --no-create-home "
                       "--shell /usr/sbin/nologin velunor && install -d -o root -g velunor "
                       "-m 1770 /opt/velunor")
                .status,
            0);
  const std::string ini =
      "LOX\r\n" + TestDb::Server() + "\r\n" + TestDb::kUser + "\r\n" + TestDb::kPassword + "\r\n";
  TempDir old;
  old.Write("STATION.INI", ini);
  old.Write("MTS-Error-0.LOG", "old entry\r\n");
  fs::create_directories(old.path() / "archive");
  old.Write("archive/20261201-100000-price-2026-1-acknowledged.gz", "gz");
  fs::create_directories(old.path() / "certstore");
  fs::copy(certs.store, old.path() / "certstore", fs::copy_options::recursive);
  ASSERT_EQ(RunCommand("cp -r '" + old.path().string() +
                       "'/. /opt/velunor/ && chown -R velunor:velunor /opt/velunor/STATION.INI "
                       "/opt/velunor/MTS-Error-0.LOG /opt/velunor/archive /opt/velunor/certstore "
                       "&& chmod -R go= /opt/velunor/STATION.INI /opt/velunor/certstore")
                .status,
            0);
  ASSERT_EQ(AsAccount("ln -s " + kRootFile.string() + " /opt/velunor/MTS_P.xml").status, 0);

  // Installed over it, dependencies satisfied by apt-get: the files moved
  // into the state directory, the link removed, root's file untouched.
  const CommandResult installed =
      RunCommand("DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends '" +
                 package.string() + "'");
  ASSERT_EQ(installed.status, 0) << installed.output;
  EXPECT_NE(installed.output.find("velunor: moved from /opt/velunor to /var/lib/velunor:"),
            std::string::npos)
      << installed.output;
  EXPECT_NE(installed.output.find("removed the link /opt/velunor/MTS_P.xml"), std::string::npos)
      << installed.output;
  ExpectRootsUntouched();
  EXPECT_EQ(testing::ReadFile(kState / "STATION.INI"), ini);
  EXPECT_EQ(testing::ReadFile(kState / "MTS-Error-0.LOG"), "old entry\r\n");
  EXPECT_TRUE(fs::exists(kState / "archive" / "20261201-100000-price-2026-1-acknowledged.gz"));
  EXPECT_EQ(RunCommand("LC_ALL=C ls -A /opt/velunor").output,
            "README.md\nkestrin\nodbc-register\nprepare-state\nsql\nvelunor\n");
  EXPECT_NE(RunCommand("getent passwd velunor").output.find(":/var/lib/velunor:/usr/sbin/nologin"),
            std::string::npos);
  EXPECT_EQ(RunCommand("dpkg-query -S /opt").output.find("velunor"), std::string::npos);
  EXPECT_EQ(ModeAndOwner(kDir), "755 root:root\n");
  EXPECT_EQ(ModeAndOwner(kDir / "velunor"), "755 root:root\n");
  EXPECT_EQ(ModeAndOwner(kState), "700 velunor:velunor\n");
  EXPECT_EQ(ModeAndOwner(kState / "STATION.INI"), "600 velunor:velunor\n");
  EXPECT_EQ(ModeAndOwner(kState / "certstore" / "MY"), "700 velunor:velunor\n");
  // Nothing the account writes lies where Qt looks for plugins.
  EXPECT_NE(AsAccount("mkdir /opt/velunor/platforms").status, 0);
  const std::string unit = testing::ReadFile("/lib/systemd/system/velunor.service");
  EXPECT_NE(unit.find("\nExecStart=/opt/velunor/velunor --headless --program-dir /var/lib/velunor "
                      "--status-address 127.0.0.1:8089\n"),
            std::string::npos)
      << unit;
  EXPECT_NE(unit.find("\nStateDirectory=velunor\n"), std::string::npos) << unit;
  EXPECT_EQ(unit.find("ReadWritePaths="), std::string::npos) << unit;
  EXPECT_EQ(unit.find("_DIR@"), std::string::npos) << "every placeholder filled in";

  // Set up as the README says, as the service's account, and checked; as
  // root, Kestrin names that command instead.
  const std::string set_command =
      "/opt/velunor/kestrin --program-dir /var/lib/velunor --set --certificate '" +
      certs.client_subject + "' --station-url '" + sim.Url("/mdm/stationdata") + "' --price-url '" +
      sim.Url("/mdm/pricedata") + "'";
  const CommandResult as_root = RunCommand(set_command);
  EXPECT_EQ(as_root.status, 2) << as_root.output;
  EXPECT_NE(as_root.output.find(
                "runuser -u velunor -- /opt/velunor/kestrin --program-dir /var/lib/velunor --set"),
            std::string::npos)
      << as_root.output;
  EXPECT_FALSE(fs::exists(kState / "Velunor.CFG"));
  const CommandResult set = RunCommand("runuser -u velunor -- " + set_command);
  EXPECT_EQ(set.status, 0) << set.output;
  EXPECT_NE(set.output.find("Gespeichert in /var/lib/velunor/Velunor.CFG:"), std::string::npos)
      << set.output;
  const CommandResult check = RunCommand(
      "runuser -u velunor -- /opt/velunor/velunor --check --program-dir /var/lib/velunor");
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_NE(check.output.find("Alle Prüfungen bestanden"), std::string::npos) << check.output;

  // The account replaces its STATION.INI and certificate store by links to
  // root's file and folder; a reinstall hands neither to it.
  ASSERT_EQ(AsAccount("cd /var/lib/velunor && mv STATION.INI STATION.keep && ln -s " +
                      kRootFile.string() + " STATION.INI && mv certstore certstore.keep && ln -s " +
                      kRootDir.string() + " certstore")
                .status,
            0);
  const CommandResult reinstalled = RunCommand("dpkg -i '" + package.string() + "'");
  EXPECT_EQ(reinstalled.status, 0) << reinstalled.output;
  ExpectRootsUntouched();
  EXPECT_EQ(ModeAndOwner(kDir), "755 root:root\n");
  ASSERT_EQ(AsAccount("cd /var/lib/velunor && rm STATION.INI certstore && mv STATION.keep "
                      "STATION.INI && mv certstore.keep certstore")
                .status,
            0);

  // Removed: the programs go, the operator's data and the account stay.
  const CommandResult removed = RunCommand("dpkg -r velunor");
  ASSERT_EQ(removed.status, 0) << removed.output;
  EXPECT_FALSE(fs::exists(kDir / "velunor"));
  EXPECT_FALSE(fs::exists("/lib/systemd/system/velunor.service"));
  EXPECT_TRUE(fs::exists(kState / "STATION.INI"));
  EXPECT_TRUE(fs::exists(kState / "Velunor.CFG"));
  EXPECT_EQ(RunCommand("getent passwd velunor").status, 0);

  // Purged: nothing left, root's files still as they were.
  ASSERT_EQ(AsAccount("ln -s " + kRootFile.string() + " /var/lib/velunor/planted").status, 0);
  const CommandResult purged = RunCommand("dpkg -P velunor");
  ASSERT_EQ(purged.status, 0) << purged.output;
  EXPECT_FALSE(fs::exists(kDir));
  EXPECT_FALSE(fs::exists(kState));
  EXPECT_NE(RunCommand("getent passwd velunor").status, 0);
  EXPECT_NE(RunCommand("getent group velunor").status, 0);
  ExpectRootsUntouched();
  fs::remove(kRootFile);
  fs::remove(kRootDir);
}

}  // namespace
}  // namespace velunor
