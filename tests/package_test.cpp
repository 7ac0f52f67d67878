// The Debian package as an administrator meets it: built with scripts/package
// (dpkg-buildpackage) from this tree, checked with lintian and man, installed
// with apt-get over the 1.20.0 package (the CPack one, /opt/velunor) while
// that one runs with an operator's drop-in, upgraded, the service restarted
// on its state, removed and purged; then installed where the layout before
// 1.20.0 keeps the operator's files beside the programs, and purged again.
// The 1.20.0 package is built by its own scripts/package from the commit that
// last had it (kCpackCommit, in main's history), of this build's programs.
// systemd is not PID 1 here: the package's scripts run in a mount namespace
// of their own where /run/systemd/system exists, with tests/fake-systemctl
// as systemctl, which runs the unit's ExecStart as its account.
// Needs root and a machine without velunor installed; skipped otherwise.
#include <sys/stat.h>
#include <unistd.h>

#include <httplib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/expect_text.h"
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

// The last commit whose packaging was CPack's: the 1.20.0 package.
constexpr const char* kCpackCommit = "f9dad7dbdf50d2608e5c9e18e827bae995b1ed25";
const fs::path kEarlier = "/opt/velunor";
const fs::path kState = "/var/lib/velunor";
const fs::path kDropIn = "/etc/systemd/system/velunor.service.d";
// Root's own file and folder, which a link the account plants points at.
const fs::path kRootFile = "/etc/velunor-test-root-file";
const fs::path kRootDir = "/etc/velunor-test-root-dir";
const char* const kApt =
    "DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends ";

// "755 root:root" for a path (the link itself for a link).
std::string ModeAndOwner(const fs::path& path) {
  return RunCommand("stat -c '%a %U:%G' '" + path.string() + "'").output;
}

// A shell command run as the service's account.
CommandResult AsAccount(const std::string& command) {
  return RunCommand("runuser -u velunor -- sh -c \"" + command + "\"");
}

std::string LastLine(const std::string& output) {
  const std::string text = output.substr(0, output.find_last_not_of('\n') + 1);
  return text.substr(text.rfind('\n') + 1);
}

// Root's file and folder are as the test made them.
void ExpectRootsUntouched() {
  EXPECT_EQ(ModeAndOwner(kRootFile), "640 root:root\n");
  EXPECT_EQ(testing::ReadFile(kRootFile), "root's\n");
  EXPECT_EQ(ModeAndOwner(kRootDir), "755 root:root\n");
  EXPECT_TRUE(fs::is_empty(kRootDir));
}

// What the service runs on, read as root: equal before and after an upgrade.
std::string StateSnapshot() {
  return RunCommand(
             "cd /var/lib/velunor && stat -c '%n %a %U:%G %i' . STATION.INI Velunor.CFG "
             "certstore certstore/MY certstore/Root && cat STATION.INI Velunor.CFG && "
             "find certstore -type f -exec sha256sum {} + | sort")
      .output;
}

// systemd as far as the package's scripts use it (tests/fake-systemctl):
// commands run in a mount namespace of their own where this object's folder
// is /run/systemd, the fake is systemctl, and the policy of this machine
// (a container's policy-rc.d that forbids every start) allows what the
// package asks for. apt and dpkg set PATH themselves, so the fake is bound
// over the real systemctl rather than put first on the PATH.
class FakeSystemd {
 public:
  FakeSystemd() {
    dir_.Write("policy-rc.d", "#!/bin/sh\nexit 0\n");
    dir_.Write("real-systemctl", "");
    // $1: the command, $2: this folder, $3: the fake systemctl.
    dir_.Write("in-namespace", R"(#!/bin/sh
set -e
[ -d /run/systemd ] || mkdir /run/systemd
mount --bind "$2" /run/systemd
mkdir -p /run/systemd/system
real=$(readlink -f /bin/systemctl)
mount --bind "$real" /run/systemd/real-systemctl
mount --bind "$3" "$real"
[ ! -e /usr/sbin/policy-rc.d ] || mount --bind /run/systemd/policy-rc.d /usr/sbin/policy-rc.d
exec sh -c "$1"
)");
    fs::permissions(dir_.path() / "in-namespace", fs::perms::owner_all);
    fs::permissions(dir_.path() / "policy-rc.d", fs::perms::owner_all);
  }
  ~FakeSystemd() {
    if (Running()) RunCommand("kill -KILL " + std::to_string(Pid()));
  }

  // `command` as the package's scripts run under systemd.
  CommandResult Run(const std::string& command) const {
    return RunCommand("unshare --mount --propagation private '" +
                      (dir_.path() / "in-namespace").string() + "' '" + command + "' '" +
                      dir_.path().string() + "' '" + VELUNOR_SOURCE_ROOT +
                      "/tests/fake-systemctl' 2>&1");
  }
  pid_t Pid() const {
    const std::string pid = dir_.Read("velunor.pid");
    return pid.empty() ? -1 : std::stoi(pid);
  }
  bool Running() const {
    return Pid() > 0 &&
           RunCommand("ps -o stat= -p " + std::to_string(Pid()) + " | grep -qv Z").status == 0;
  }
  std::string Calls() const { return dir_.Read("calls"); }
  // What the service printed (its journal).
  std::string Journal() const { return dir_.Read("velunor.out"); }
  // The status port the running service announced last.
  int StatusPort() const {
    static const std::regex kAnnounced(R"(Statusseite unter http://127\.0\.0\.1:(\d+)/)");
    const std::string journal = Journal();
    int port = 0;
    for (std::sregex_iterator it(journal.begin(), journal.end(), kAnnounced), end; it != end;
         ++it) {
      port = std::stoi((*it)[1]);
    }
    return port;
  }

 private:
  TempDir dir_;
};

// The running service answers /health on its status port.
bool Healthy(const FakeSystemd& systemd) {
  if (!systemd.Running() || systemd.StatusPort() == 0) return false;
  httplib::Client client("127.0.0.1", systemd.StatusPort());
  const auto answer = client.Get("/health");
  return answer && answer->status == 200 && answer->body.find("\"state\"") != std::string::npos;
}

// Whether a running process executes `program`: the same file, whatever
// path /proc names for it (in a chroot, a process in a mount namespace of
// its own shows the host's path).
::testing::AssertionResult Executes(pid_t pid, const fs::path& program) {
  const fs::path exe = "/proc/" + std::to_string(pid) + "/exe";
  std::error_code error;
  if (fs::equivalent(exe, program, error)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "process " << pid << " runs " << fs::read_symlink(exe, error).string() << ", not "
         << program.string();
}

// The package of this tree: the one ctest's package_build made before the
// test (VELUNOR_PACKAGE_DIR, the only velunor_*_amd64.deb there), or built
// into `work` when the test runs on its own. "" when the build failed.
fs::path PackageOfThisTree(const fs::path& work) {
  if (const char* dir = std::getenv("VELUNOR_PACKAGE_DIR")) {
    const std::regex name(R"(velunor_[^_]+_amd64\.deb)");
    for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
      if (std::regex_match(entry.path().filename().string(), name)) return entry.path();
    }
    ADD_FAILURE() << "package_build left no package in " << dir;
    return {};
  }
  const CommandResult built = RunCommand(
      "VELUNOR_BUILD_DIR='" + std::string(VELUNOR_BUILD_DIR) + "' '" + VELUNOR_SOURCE_ROOT +
      "/scripts/package' --no-deps '" + (work / "package").string() + "' 2>&1");
  EXPECT_EQ(built.status, 0) << built.output;
  return built.status == 0 ? fs::path(LastLine(built.output)) : fs::path();
}

// The 1.20.0 package, made by that commit's scripts/package of this build's
// programs.
fs::path BuildCpackPackage(const fs::path& work) {
  const fs::path tree = work / "cpack-tree";
  const fs::path build = work / "cpack-build";
  fs::create_directories(tree);
  const std::string archived =
      RunCommand("git -C '" + std::string(VELUNOR_SOURCE_ROOT) + "' archive " + kCpackCommit +
                 " packaging scripts/package scripts/odbc-register deploy README.md sql | tar -x "
                 "-C '" +
                 tree.string() + "' 2>&1")
          .output;
  EXPECT_TRUE(fs::exists(tree / "packaging" / "CMakeLists.txt")) << archived;
  for (const char* program : {"service/core/velunor", "certmanager/kestrin"}) {
    fs::create_directories((build / program).parent_path());
    fs::copy_file(fs::path(VELUNOR_BUILD_DIR) / program, build / program);
  }
  std::ofstream(build / "CMakeCache.txt") << "CMAKE_PROJECT_VERSION:STATIC=1.20.0\n";
  const CommandResult built =
      RunCommand("VELUNOR_BUILD_DIR='" + build.string() + "' '" + tree.string() +
                 "/scripts/package' --no-build '" + (work / "cpack").string() + "' 2>&1");
  EXPECT_EQ(built.status, 0) << built.output;
  return LastLine(built.output);
}

// Whatever the test leaves when it fails on the way: the service, the
// package, the account, the drop-in and root's files.
void CleanUp() {
  RunCommand(
      "dpkg -P velunor velunor-dbgsym >/dev/null 2>&1; userdel velunor 2>/dev/null; "
      "groupdel velunor 2>/dev/null; rm -rf " +
      kDropIn.string() + " " + kRootFile.string() + " " + kRootDir.string() + " " +
      kEarlier.string() + " " + kState.string());
}

TEST(PackageTest, UpgradesA120InstallationWhileItRunsRemovesAndPurges) {
  if (geteuid() != 0) GTEST_SKIP() << "dpkg -i needs root";
  if (fs::exists(kEarlier) || fs::exists(kState) || fs::exists("/usr/sbin/velunor") ||
      RunCommand("getent passwd velunor").status == 0) {
    GTEST_SKIP() << "velunor is installed on this machine; the test leaves it alone";
  }
  const testing::OnExit clean_up(CleanUp);
  TempDir work;
  const fs::path package = PackageOfThisTree(work.path());
  ASSERT_TRUE(fs::exists(package)) << package;
  EXPECT_TRUE(package.filename().string().starts_with("velunor_"));
  EXPECT_TRUE(Contains(package.filename().string(), "_amd64.deb"));
  const std::string version =
      LastLine(RunCommand("dpkg-deb -f '" + package.string() + "' Version").output);
  const fs::path dbgsym = package.parent_path() / ("velunor-dbgsym_" + version + "_amd64.deb");
  ASSERT_TRUE(fs::exists(dbgsym)) << dbgsym;

  // Where Debian keeps things; in /opt only the link for units that name
  // the earlier path.
  const std::string contents = RunCommand("dpkg-deb -c '" + package.string() + "'").output;
  for (const char* file :
       {" ./usr/sbin/velunor\n", " ./usr/bin/kestrin\n", " ./usr/libexec/velunor/odbc-register\n",
        " ./usr/libexec/velunor/prepare-state\n", " ./usr/share/velunor/lox-schema.sql\n",
        " ./usr/share/doc/velunor/README.md.gz\n", " ./usr/share/doc/velunor/copyright\n",
        " ./usr/share/doc/velunor/changelog.Debian.gz\n", " ./usr/share/man/man8/velunor.8.gz\n",
        " ./usr/share/man/man1/kestrin.1.gz\n", " ./lib/systemd/system/velunor.service\n",
        " ./lib/systemd/system/velunor.socket\n",
        " ./opt/velunor/velunor -> /usr/sbin/velunor\n"}) {
    EXPECT_TRUE(Contains(contents, file)) << file << "\n" << contents;
  }
  EXPECT_EQ(RunCommand("dpkg-deb -c '" + package.string() +
                       "' | grep ' ./opt/' | grep -v ' ./opt/$' | grep -v ' ./opt/velunor/$' | "
                       "grep -v ' ./opt/velunor/velunor -> /usr/sbin/velunor$'")
                .output,
            "");
  const std::string depends = RunCommand("dpkg-deb -f '" + package.string() + "' Depends").output;
  for (const char* needed : {"odbc-mariadb", "unixodbc", "libqt6widgets6", "libcurl4"}) {
    EXPECT_TRUE(Contains(depends, needed)) << needed << ": " << depends;
  }
  const std::regex build_only(
      R"((.*-dev|gcc(-\d+)?|g\+\+(-\d+)?|clang(-\d+)?|cmake|make|binutils|build-essential|dpkg-dev|debhelper))");
  std::istringstream entries(depends);
  for (std::string entry; std::getline(entries, entry, ',');) {
    std::istringstream words(entry);
    std::string name;
    words >> name;
    EXPECT_FALSE(std::regex_match(name, build_only)) << name << ": " << depends;
  }
  // Stripped, the symbols in -dbgsym.
  const fs::path unpacked = work.path() / "unpacked";
  ASSERT_EQ(RunCommand("dpkg-deb -x '" + package.string() + "' '" + unpacked.string() + "'").status,
            0);
  for (const char* program : {"usr/sbin/velunor", "usr/bin/kestrin"}) {
    const std::string type = RunCommand("file -b '" + (unpacked / program).string() + "'").output;
    EXPECT_TRUE(Contains(type, ", stripped")) << program << ": " << type;
  }
  EXPECT_TRUE(
      Contains(RunCommand("dpkg-deb -c '" + dbgsym.string() + "'").output, "./usr/lib/debug/"));

  // lintian: no error, no warning; every override with its reason.
  const CommandResult lint = RunCommand("lintian --fail-on error,warning -IE --pedantic '" +
                                        package.string() + "' '" + dbgsym.string() + "' 2>&1");
  EXPECT_EQ(lint.status, 0) << lint.output;
  EXPECT_FALSE(Contains(lint.output, "\nE: "));
  EXPECT_FALSE(Contains(lint.output, "\nW: "));
  const std::string overrides =
      RunCommand("lintian --show-overrides '" + package.string() + "' 2>&1").output;
  EXPECT_TRUE(Contains(overrides, "\nO: velunor: dir-or-file-in-opt [opt/velunor/velunor]"));
  std::istringstream lint_lines(overrides);
  std::string previous;
  for (std::string line; std::getline(lint_lines, line); previous = line) {
    if (line.rfind("O: ", 0) == 0) {
      EXPECT_TRUE(previous.starts_with("N: ")) << "an override without its reason: " << line;
    }
  }

  // The manual pages render without a complaint, each with every section.
  for (const char* page : {"usr/share/man/man8/velunor.8.gz", "usr/share/man/man1/kestrin.1.gz"}) {
    const std::string path = (unpacked / page).string();
    EXPECT_EQ(RunCommand("man --warnings -l '" + path + "' 2>&1 >/dev/null").output, "") << page;
    const CommandResult shown = RunCommand("MANWIDTH=80 man -l '" + path + "' 2>&1");
    EXPECT_EQ(shown.status, 0) << shown.output;
    for (const char* section :
         {"\nNAME\n", "\nSYNOPSIS\n", "\nOPTIONS\n", "\nFILES\n", "\nEXIT STATUS\n", "\nSIGNALS\n",
          "\nEXAMPLES\n", "--program-dir DIR"}) {
      EXPECT_TRUE(Contains(shown.output, section)) << page << ": " << section;
    }
  }

  // 1.20.0 installed, set up and running with an operator's drop-in that
  // names its program's path.
  const fs::path cpack = BuildCpackPackage(work.path());
  ASSERT_TRUE(fs::exists(cpack)) << cpack;
  TestCertificates certs(work.path() / "certs");
  MdmSim sim(certs, work.path() / "sim", MdmSim::Config{{"ack"}});
  // The stations the service reports, on the private server.
  const auto network = testing::ConnectToStationNetwork();
  FakeSystemd systemd;
  const CommandResult installed_120 = systemd.Run(kApt + cpack.string());
  ASSERT_EQ(installed_120.status, 0) << installed_120.output;
  ASSERT_TRUE(fs::exists(kEarlier / "velunor"));
  const std::string ini =
      "LOX\r\n" + TestDb::Server() + "\r\n" + TestDb::kUser + "\r\n" + TestDb::kPassword + "\r\n";
  work.Write("STATION.INI", ini);
  ASSERT_EQ(RunCommand("install -o velunor -g velunor -m 0600 '" +
                       (work.path() / "STATION.INI").string() + "' /var/lib/velunor/ && cp -r '" +
                       certs.store.string() +
                       "'/. /var/lib/velunor/certstore/ && chown -R velunor:velunor "
                       "/var/lib/velunor/certstore")
                .status,
            0);
  const std::string set_args = " --program-dir /var/lib/velunor --set --certificate '" +
                               certs.client_subject + "' --station-url '" +
                               sim.Url("/mdm/stationdata") + "' --price-url '" +
                               sim.Url("/mdm/pricedata") + "'";
  const CommandResult set_120 = RunCommand("runuser -u velunor -- /opt/velunor/kestrin" + set_args);
  ASSERT_EQ(set_120.status, 0) << set_120.output;
  fs::create_directories(kDropIn);
  std::ofstream(kDropIn / "instance.conf")
      << "[Service]\nExecStart=\nExecStart=/opt/velunor/velunor --headless --program-dir "
         "/var/lib/velunor --status-address 127.0.0.1:0 --instance-name package-test\n";
  const CommandResult started = systemd.Run(
      "systemctl enable velunor.socket velunor.service && systemctl start "
      "velunor.socket velunor.service");
  ASSERT_EQ(started.status, 0) << started.output;
  ASSERT_TRUE(testing::WaitUntil([&] { return Healthy(systemd); }, 60)) << systemd.Journal();
  const pid_t pid_120 = systemd.Pid();
  EXPECT_TRUE(Executes(pid_120, "/opt/velunor/velunor"));
  const std::string state = StateSnapshot();
  ASSERT_TRUE(Contains(state, "STATION.INI 600 velunor:velunor"));

  // Upgraded: restarted by the package, through the drop-in and the link,
  // on the same state; the terminal says where the programs are now.
  const CommandResult upgraded = systemd.Run(kApt + package.string());
  ASSERT_EQ(upgraded.status, 0) << upgraded.output;
  EXPECT_TRUE(Contains(upgraded.output,
                       "velunor: the programs are now /usr/sbin/velunor and /usr/bin/kestrin"));
  EXPECT_TRUE(Contains(systemd.Calls(), " restart velunor.service"));
  EXPECT_TRUE(testing::WaitUntil([&] { return Healthy(systemd); }, 60)) << systemd.Journal();
  EXPECT_NE(systemd.Pid(), pid_120);
  EXPECT_TRUE(Executes(systemd.Pid(), "/usr/sbin/velunor"));
  EXPECT_EQ(StateSnapshot(), state);
  EXPECT_EQ(RunCommand("LC_ALL=C ls -A /opt/velunor").output, "velunor\n");
  EXPECT_EQ(fs::read_symlink(kEarlier / "velunor"), "/usr/sbin/velunor");
  EXPECT_TRUE(fs::is_symlink("/etc/systemd/system/multi-user.target.wants/velunor.service"));
  EXPECT_TRUE(fs::is_symlink("/etc/systemd/system/sockets.target.wants/velunor.socket"));
  EXPECT_EQ(ModeAndOwner("/usr/sbin/velunor"), "755 root:root\n");
  const std::string unit = testing::ReadFile("/lib/systemd/system/velunor.service");
  EXPECT_TRUE(Contains(unit,
                       "\nExecStart=/usr/sbin/velunor --headless --program-dir /var/lib/velunor "
                       "--status-address 127.0.0.1:8089\n"));
  EXPECT_TRUE(Contains(unit, "\nStateDirectory=velunor\n"));
  EXPECT_FALSE(Contains(unit, "ReadWritePaths="));
  EXPECT_FALSE(Contains(unit, "_DIR@")) << "every placeholder filled in";

  // As the README says, with the programs on the PATH; as root, Kestrin
  // names the account's command instead.
  const std::string set_command = "kestrin" + set_args;
  const CommandResult as_root = RunCommand(set_command);
  EXPECT_EQ(as_root.status, 2) << as_root.output;
  EXPECT_TRUE(Contains(as_root.output,
                       "runuser -u velunor -- kestrin --program-dir /var/lib/velunor --set"));
  const CommandResult set = RunCommand("runuser -u velunor -- " + set_command);
  EXPECT_EQ(set.status, 0) << set.output;
  EXPECT_TRUE(Contains(set.output, "Gespeichert in /var/lib/velunor/Velunor.CFG:"));
  const CommandResult check =
      RunCommand("runuser -u velunor -- /usr/sbin/velunor --check --program-dir /var/lib/velunor");
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_TRUE(Contains(check.output, "Alle Prüfungen bestanden"));

  // Removed: the service stopped, the programs gone, the operator's data
  // and the account kept, /opt still there.
  const CommandResult removed = systemd.Run("dpkg -r velunor");
  ASSERT_EQ(removed.status, 0) << removed.output;
  EXPECT_FALSE(systemd.Running());
  EXPECT_TRUE(Contains(systemd.Calls(), " stop velunor.service"));
  EXPECT_FALSE(fs::exists("/usr/sbin/velunor"));
  EXPECT_FALSE(fs::exists("/lib/systemd/system/velunor.service"));
  EXPECT_FALSE(fs::exists(kEarlier));
  EXPECT_EQ(ModeAndOwner("/opt"), "755 root:root\n");
  EXPECT_TRUE(fs::exists(kState / "STATION.INI"));
  EXPECT_TRUE(fs::exists(kState / "Velunor.CFG"));
  EXPECT_EQ(RunCommand("getent passwd velunor").status, 0);
  // Purged: the data, the account and the units' links gone.
  const CommandResult purged = systemd.Run("dpkg -P velunor");
  ASSERT_EQ(purged.status, 0) << purged.output;
  EXPECT_FALSE(fs::exists(kState));
  EXPECT_NE(RunCommand("getent passwd velunor").status, 0);
  EXPECT_FALSE(fs::is_symlink("/etc/systemd/system/multi-user.target.wants/velunor.service"));
  EXPECT_FALSE(fs::is_symlink("/etc/systemd/system/sockets.target.wants/velunor.socket"));
  fs::remove_all(kDropIn);

  // The layout before 1.20.0: the account's files beside the programs in a
  // folder it could write, and a link it planted there to root's file.
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

  // Installed over it: the files moved into the state directory, the link
  // removed, root's file untouched, the earlier folder root's again.
  const CommandResult installed = RunCommand(kApt + package.string() + " 2>&1");
  ASSERT_EQ(installed.status, 0) << installed.output;
  EXPECT_TRUE(Contains(installed.output, "velunor: moved from /opt/velunor to /var/lib/velunor:"));
  EXPECT_TRUE(Contains(installed.output, "removed the link /opt/velunor/MTS_P.xml"));
  ExpectRootsUntouched();
  EXPECT_EQ(testing::ReadFile(kState / "STATION.INI"), ini);
  EXPECT_EQ(testing::ReadFile(kState / "MTS-Error-0.LOG"), "old entry\r\n");
  EXPECT_TRUE(fs::exists(kState / "archive" / "20261201-100000-price-2026-1-acknowledged.gz"));
  EXPECT_EQ(RunCommand("LC_ALL=C ls -A /opt/velunor").output, "velunor\n");
  EXPECT_TRUE(
      Contains(RunCommand("getent passwd velunor").output, ":/var/lib/velunor:/usr/sbin/nologin"));
  EXPECT_EQ(ModeAndOwner(kEarlier), "755 root:root\n");
  EXPECT_EQ(ModeAndOwner(kState), "700 velunor:velunor\n");
  EXPECT_EQ(ModeAndOwner(kState / "STATION.INI"), "600 velunor:velunor\n");
  EXPECT_EQ(ModeAndOwner(kState / "certstore" / "MY"), "700 velunor:velunor\n");
  // Nothing the account writes lies where Qt looks for plugins.
  EXPECT_NE(AsAccount("mkdir /opt/velunor/platforms").status, 0);
  EXPECT_NE(AsAccount("mkdir /usr/libexec/velunor/platforms").status, 0);

  // The account replaces its STATION.INI and certificate store by links to
  // root's file and folder; a reinstall hands neither to it.
  ASSERT_EQ(AsAccount("cd /var/lib/velunor && mv STATION.INI STATION.keep && ln -s " +
                      kRootFile.string() + " STATION.INI && mv certstore certstore.keep && ln -s " +
                      kRootDir.string() + " certstore")
                .status,
            0);
  const CommandResult reinstalled = RunCommand("dpkg -i '" + package.string() + "' 2>&1");
  EXPECT_EQ(reinstalled.status, 0) << reinstalled.output;
  ExpectRootsUntouched();
  EXPECT_EQ(ModeAndOwner(kEarlier), "755 root:root\n");
  ASSERT_EQ(AsAccount("cd /var/lib/velunor && rm STATION.INI certstore && mv STATION.keep "
                      "STATION.INI && mv certstore.keep certstore")
                .status,
            0);

  // Purged: nothing left, root's files still as they were.
  ASSERT_EQ(AsAccount("ln -s " + kRootFile.string() + " /var/lib/velunor/planted").status, 0);
  const CommandResult purged_again = RunCommand("dpkg -P velunor 2>&1");
  ASSERT_EQ(purged_again.status, 0) << purged_again.output;
  EXPECT_FALSE(fs::exists(kEarlier));
  EXPECT_FALSE(fs::exists(kState));
  EXPECT_TRUE(fs::is_directory("/opt"));
  EXPECT_NE(RunCommand("getent passwd velunor").status, 0);
  EXPECT_NE(RunCommand("getent group velunor").status, 0);
  ExpectRootsUntouched();
}

}  // namespace
}  // namespace velunor
