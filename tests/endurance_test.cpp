// The velunor program itself (headless) running many ticks at a short
// interval against the test database and the endpoint simulator while the
// prices keep changing upstream: its resident memory must stay flat after
// the warm-up and its open file descriptors must not grow. The length comes
// from VELUNOR_ENDURANCE_TICKS (default 3,000), VELUNOR_ENDURANCE_TICK_MS
// (default 4) and VELUNOR_ENDURANCE_STATIONS (default 100); scripts/endurance
// runs 10,000 ticks.
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/proof_network.h"
#include "tests/test_support.h"
#include "tests/transmission_sim.h"

namespace velunor {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Resident memory may grow this much after the warm-up (allocator noise);
// a leak of one publication or one statement handle per cycle exceeds it.
constexpr long kRssSlackKb = 1024;

// Under AddressSanitizer freed memory is held back in a quarantine, so the
// resident size grows by design; its leak check at the end takes the place
// of the memory comparison (a leak makes velunor's exit status non-zero).
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

long EnvNumber(const char* name, long fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? std::atol(v) : fallback;
}

struct Sample {
  double seconds;
  long rss_kb;
  long fds;
};

// VmRSS of /proc/PID/status and the entries of /proc/PID/fd; false once the process is gone.
bool TakeSample(pid_t pid, double seconds, Sample* out) {
  const std::string status = testing::ReadFile("/proc/" + std::to_string(pid) + "/status");
  const size_t at = status.find("VmRSS:");
  if (at == std::string::npos) return false;
  std::error_code ec;
  long fds = 0;
  for (fs::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", ec), end; !ec && it != end;
       it.increment(ec)) {
    ++fds;
  }
  if (ec) return false;
  *out = {seconds, std::atol(status.c_str() + at + 6), fds};
  return true;
}

// The samples whose time lies between the fractions `from` and `to` of the run.
std::vector<Sample> Window(const std::vector<Sample>& all, double from, double to) {
  const double end = all.empty() ? 0 : all.back().seconds;
  std::vector<Sample> part;
  for (const Sample& s : all) {
    if (s.seconds >= from * end && s.seconds <= to * end) part.push_back(s);
  }
  return part;
}

long MaxOf(const std::vector<Sample>& v, long Sample::*field) {
  long m = 0;
  for (const Sample& s : v) m = std::max(m, s.*field);
  return m;
}
long MinOf(const std::vector<Sample>& v, long Sample::*field) {
  long m = v.empty() ? 0 : v.front().*field;
  for (const Sample& s : v) m = std::min(m, s.*field);
  return m;
}

int TransferLogRows(Connection& db, const std::string& condition) {
  return std::stoi(
      *db.Query("select count(*) from mts_petrolstation_log where " + condition).ValueAt(0, 0));
}

TEST(EnduranceTest, ManyTicksWithChangingPricesKeepMemoryAndFileHandlesFlat) {
  const long ticks = EnvNumber("VELUNOR_ENDURANCE_TICKS", 3000);
  const long tick_ms = EnvNumber("VELUNOR_ENDURANCE_TICK_MS", 4);
  const int stations = static_cast<int>(EnvNumber("VELUNOR_ENDURANCE_STATIONS", 100));

  auto db = testing::ConnectToSeededNetwork(stations);

  testing::TempDir work;
  const fs::path program = work.path() / "program";
  testing::TestCertificates certs(work.path() / "certs");
  testing::MdmSim sim(certs, work.path() / "sim", {});
  testing::WriteProgramDir(program, testing::TestDb::Server(), certs, sim);

  std::vector<std::string> args = {
      VELUNOR_BIN,    "--headless",         "--program-dir", program.string(),
      "--cert-store", certs.store.string(), "--tick-ms",     std::to_string(tick_ms),
      "--ticks",      std::to_string(ticks)};
  testing::SpawnOptions spawn;
  spawn.output = work.path() / "console.txt";
  const pid_t pid = testing::Spawn(args, spawn);
  ASSERT_GT(pid, 0);

  // Sample every 100 ms and change every price every 2 s, until the program ends.
  const auto start = Clock::now();
  const double limit_s = 3.0 * static_cast<double>(ticks * tick_ms) / 1000.0 + 60;
  std::vector<Sample> samples;
  int status = 0;
  int changes = 0;
  auto next_change = start + std::chrono::seconds(2);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    Sample s;
    if (TakeSample(pid, seconds, &s)) samples.push_back(s);
    if (Clock::now() >= next_change) {
      testing::ChangeAllPrices(*db, ++changes % 2 == 1 ? 3 : -2);
      next_change += std::chrono::seconds(2);
    }
    if (seconds > limit_s) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      FAIL() << "velunor did not end within " << limit_s << " s";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  const double run_s = std::chrono::duration<double>(Clock::now() - start).count();
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "velunor ended with status " << status << "\n"
      << testing::ReadFile(spawn.output).substr(0, 4000);
  ASSERT_GE(samples.size(), 50u) << "the run was too short to judge";

  // Warm-up: the first fifth of the run (start, first publications, first
  // cycles). Minimum descriptor counts are compared, because a sample taken
  // during a transmission sees its socket and certificate files as well.
  const std::vector<Sample> warm = Window(samples, 0.2, 0.3);
  const std::vector<Sample> last = Window(samples, 0.9, 1.0);
  const long rss_warm = MaxOf(warm, &Sample::rss_kb);
  const long rss_end = MaxOf(last, &Sample::rss_kb);
  const long fds_warm = MinOf(warm, &Sample::fds);
  const long fds_end = MinOf(last, &Sample::fds);
  const long fds_max = MaxOf(Window(samples, 0.2, 1.0), &Sample::fds);
  const int published = TransferLogRows(*db, "log_code = 1");
  const int stations_published = TransferLogRows(*db, "log_code = 0");
  const int failed = TransferLogRows(*db, "log_code >= 100");
  std::printf(
      "endurance: %ld ticks of %ld ms, %d stations, %.1f s, %d price changes, %d price "
      "publications acknowledged, %d failed; RSS %ld kB after warm-up, %ld kB at the end "
      "(max %ld kB); open fds %ld after warm-up, %ld at the end (max %ld)\n",
      ticks, tick_ms, stations, run_s, changes, published, failed, rss_warm, rss_end,
      MaxOf(samples, &Sample::rss_kb), fds_warm, fds_end, fds_max);
  RecordProperty("rss_warm_kb", static_cast<int>(rss_warm));
  RecordProperty("rss_end_kb", static_cast<int>(rss_end));
  RecordProperty("fds_warm", static_cast<int>(fds_warm));
  RecordProperty("fds_end", static_cast<int>(fds_end));

  if (!kAddressSanitizer) {
    EXPECT_LE(rss_end, rss_warm + kRssSlackKb) << "resident memory grew after the warm-up";
  }
  EXPECT_LE(fds_end, fds_warm) << "file descriptors grew after the warm-up";
  EXPECT_GE(published, static_cast<int>(ticks / 91) - 1) << "a price publication every 91 ticks";
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(sim.RequestCount(), published + stations_published)
      << "every publication the simulator received was acknowledged and logged";
}

}  // namespace
}  // namespace velunor
