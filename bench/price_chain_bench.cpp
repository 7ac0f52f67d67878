// The price chain for 10, 100, 1,000 and 5,000 stations (the last numbered up
// to 60,000, six weekly opening-time records each) whose every price changed in
// one cycle: the scheduler states 1, 2, 3, 4, 10 and 90, one tick of the
// window MarktTransp each, with the real procedures against the private
// MariaDB and the endpoint simulator. Reports per step the time, the SQL
// statements, the server round trips and the time inside the ODBC driver;
// the chain from intake to acknowledgement; and the ratio of the chain's
// database time to that of as many "select 1" on the same connection. Every
// chain is checked: one publication with every station at its new price.
// Also the service's start to its first tick and the process's peak memory.
//   price_chain_bench [--short] [chains]
// --short (the form the test suite runs): 10 and 100 stations, one chain;
// exits with 1 when a step's statements or round trips grow with the
// stations. Otherwise also 1,000 and
// 5,000 stations, and exits with 1 when they miss the goals on a server that flushes every commit
// (see scripts/bench-chain): 1,000 stations storing the prices <= 100 ms and the chain <= 300 ms;
// 5,000 stations the chain's own work (CPU time of the service's thread) <= 150 ms, the start <= 2
// s and the peak RSS <= 128 MB.
#include <malloc.h>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/odbc_timing.h"
#include "bench/round_trips.h"
#include "tests/proof_network.h"
#include "tests/proof_rig.h"

namespace velunor {
namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

constexpr double kStoreGoalMs = 100;
constexpr double kChainGoalMs = 300;
constexpr double kLargeChainWorkGoalMs = 150;
constexpr double kLargeStartGoalMs = 2000;
constexpr long kLargeRssGoalKb = 128 * 1024;

struct Step {
  int state;
  const char* what;
};
constexpr std::array<Step, 6> kSteps = {{{1, "read and compare prices"},
                                         {2, "store prices with history"},
                                         {3, "price lines"},
                                         {4, "publication and MTS_P.xml"},
                                         {10, "SOAP envelope"},
                                         {90, "send, answer, transfer log"}}};

struct StepFigures {
  std::vector<double> ms;
  std::vector<double> odbc_ms;
  long statements = 0;  // of the last chain
  long round_trips = 0;
};

struct NetworkFigures {
  testing::NetworkShape shape;
  int stations = 0;
  double start_ms = 0;                // Start(): master data, grid, fuels, first intake
  double first_exports_ms = 0;        // then both publications sent and acknowledged
  std::vector<double> chain_work_ms;  // CPU time of the service's thread
  std::array<StepFigures, kSteps.size()> steps;
  std::vector<double> chain_ms;
  std::vector<double> chain_odbc_ms;
  long chain_statements = 0;
  long chain_round_trips = 0;
  double select1_odbc_ms = 0;  // as many "select 1" as the chain sent, inside ODBC
  size_t publication_bytes = 0;
  size_t station_publication_bytes = 0;
  // Of this process over the start and the first publications (the station
  // publication is the largest document): the service and the upstream
  // connection, before the benchmark parses any publication itself.
  long peak_rss_kb = 0;
};

double Mean(const std::vector<double>& v) {
  return v.empty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}
double Max(const std::vector<double>& v) {
  return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}
double OdbcMs(std::chrono::nanoseconds from) { return Ms(bench::OdbcTime() - from).count(); }

// The CPU time of the calling thread, on which the rig runs the service.
double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Lets VmHWM start again from the memory held now, after what the earlier
// networks and the seed left behind has been given back.
void ResetPeakRss() {
  malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
}

// VmHWM of /proc/self/status: the most memory the process has held.
long PeakRssKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long kb = 0;
  while (status >> key) {
    if (key == "VmHWM:") {
      status >> kb;
      return kb;
    }
    status.ignore(4096, '\n');
  }
  return 0;
}

// One chain from state 1 back to idle, tick by tick; throws std::runtime_error
// when the chain did not report every station at its new price.
void RunOneChain(testing::ServiceRig& rig, Connection& upstream, bench::RoundTrips& trips,
                 NetworkFigures& f) {
  const testing::PriceMap expected = testing::UpstreamPrices(upstream);
  const int requests_before = rig.sim().RequestCount();
  const size_t errors_before = rig.ErrorLines().size();
  rig.TickToPriceState(kReadPrices);
  double chain_ms = 0;
  double chain_odbc_ms = 0;
  const double work_start = ThreadCpuMs();
  f.chain_statements = f.chain_round_trips = 0;
  trips.Since();
  for (size_t i = 0; i < kSteps.size(); ++i) {
    if (rig.window().scheduler().state() != kSteps[i].state) {
      throw std::runtime_error("the chain stands at state " +
                               std::to_string(rig.window().scheduler().state()) + " instead of " +
                               std::to_string(kSteps[i].state));
    }
    const long statements = rig.state().db.db().statements();
    const auto odbc = bench::OdbcTime();
    const auto start = Clock::now();
    rig.Tick();
    StepFigures& s = f.steps[i];
    s.ms.push_back(Ms(Clock::now() - start).count());
    s.odbc_ms.push_back(OdbcMs(odbc));
    s.statements = rig.state().db.db().statements() - statements;
    s.round_trips = trips.Since();
    chain_ms += s.ms.back();
    chain_odbc_ms += s.odbc_ms.back();
    f.chain_statements += s.statements;
    f.chain_round_trips += s.round_trips;
  }
  f.chain_work_ms.push_back(ThreadCpuMs() - work_start);
  f.chain_ms.push_back(chain_ms);
  f.chain_odbc_ms.push_back(chain_odbc_ms);

  if (rig.window().scheduler().state() != 0)
    throw std::runtime_error("the chain did not end in idle");
  if (rig.sim().RequestCount() != requests_before + 1) {
    throw std::runtime_error("the chain did not send exactly one publication");
  }
  const std::string publication = rig.LastRequest();
  f.publication_bytes = publication.size();
  const std::string differences =
      testing::PriceDifferences(expected, testing::PublishedPrices(publication));
  if (!differences.empty()) throw std::runtime_error("published prices differ: " + differences);
  if (rig.ErrorLines().size() != errors_before) {
    throw std::runtime_error("the chain logged an error: " + rig.ErrorLines().back());
  }
}

NetworkFigures MeasureNetwork(const testing::NetworkShape& shape, int chains) {
  NetworkFigures f;
  f.shape = shape;
  f.stations = shape.stations;
  auto upstream = testing::TestDb::Connect();
  testing::TestDb::Reset(*upstream);
  testing::SeedStationNetwork(*upstream, shape);
  bench::RoundTrips trips;
  testing::ServiceRig::Options options;
  options.db_server = trips.server();
  // VELUNOR_BENCH_LEASE_SECONDS=0: without the reporter lease, to tell its cost.
  if (const char* lease = std::getenv("VELUNOR_BENCH_LEASE_SECONDS")) {
    options.lease_seconds = std::atoi(lease);
  }
  testing::ServiceRig rig(options);
  ResetPeakRss();
  const auto start = Clock::now();
  if (!rig.Start()) throw std::runtime_error("the service did not start");
  f.start_ms = Ms(Clock::now() - start).count();
  const auto exports = Clock::now();
  rig.RunFirstExports();
  f.first_exports_ms = Ms(Clock::now() - exports).count();
  f.peak_rss_kb = PeakRssKb();
  const std::string station_publication = rig.sim().RequestBody(1);
  f.station_publication_bytes = station_publication.size();
  size_t published_stations = 0;
  for (size_t at = 0; (at = station_publication.find("id=\"st-", at)) != std::string::npos; ++at) {
    ++published_stations;
  }
  if (published_stations != static_cast<size_t>(shape.stations)) {
    throw std::runtime_error("the station publication holds " + std::to_string(published_stations) +
                             " stations");
  }
  const testing::PriceMap first = testing::PublishedPrices(rig.LastRequest());
  if (first.size() != static_cast<size_t>(shape.stations)) {
    throw std::runtime_error("the first price publication holds " + std::to_string(first.size()) +
                             " stations");
  }

  int change = 1;
  for (int i = 0; i < chains; ++i) {
    testing::ChangeAllPrices(*upstream, change);
    change = -change;  // back and forth, so every chain sees every price changed
    RunOneChain(rig, *upstream, trips, f);
  }
  // As many trivial statements as one chain sent, on the service's own connection.
  Connection& db = rig.state().db.db();
  const auto odbc = bench::OdbcTime();
  for (long i = 0; i < f.chain_statements; ++i) db.Query("select 1");
  f.select1_odbc_ms = OdbcMs(odbc);
  return f;
}

void Report(const NetworkFigures& f) {
  std::printf("\nPrice chain, %d stations numbered %d to %d, every price changed; %zu chains\n",
              f.stations, f.shape.spacing, f.stations * f.shape.spacing, f.chain_ms.size());
  std::printf("%-6s %-28s %9s %9s %11s %12s %9s\n", "state", "step", "mean ms", "max ms",
              "statements", "round trips", "odbc ms");
  for (size_t i = 0; i < kSteps.size(); ++i) {
    const StepFigures& s = f.steps[i];
    std::printf("%-6d %-28s %9.1f %9.1f %11ld %12ld %9.1f\n", kSteps[i].state, kSteps[i].what,
                Mean(s.ms), Max(s.ms), s.statements, s.round_trips, Mean(s.odbc_ms));
  }
  std::printf("%-6s %-28s %9.1f %9.1f %11ld %12ld %9.1f\n", "chain", "intake to acknowledgement",
              Mean(f.chain_ms), Max(f.chain_ms), f.chain_statements, f.chain_round_trips,
              Mean(f.chain_odbc_ms));
  std::printf("work of the chain (CPU of the service's thread): mean %.1f ms, max %.1f ms\n",
              Mean(f.chain_work_ms), Max(f.chain_work_ms));
  std::printf("start: %.1f ms, then both first publications: %.1f ms; peak RSS over both: %ld kB\n",
              f.start_ms, f.first_exports_ms, f.peak_rss_kb);
  std::printf("publications: station %zu bytes, price %zu bytes\n", f.station_publication_bytes,
              f.publication_bytes);
  std::printf("chain database time / %ld x \"select 1\": %.2f (%.1f ms / %.1f ms inside ODBC)\n",
              f.chain_statements, Mean(f.chain_odbc_ms) / f.select1_odbc_ms, Mean(f.chain_odbc_ms),
              f.select1_odbc_ms);
}

bool GoalsKept(const NetworkFigures& f) {
  const double store = Max(f.steps[1].ms);
  const double chain = Max(f.chain_ms);
  const bool kept = store <= kStoreGoalMs && chain <= kChainGoalMs;
  std::printf(
      "goals for %d stations (storing <= %.0f ms, chain <= %.0f ms): %.1f ms, %.1f ms: %s\n",
      f.stations, kStoreGoalMs, kChainGoalMs, store, chain, kept ? "kept" : "MISSED");
  return kept;
}

bool LargeGoalsKept(const NetworkFigures& f) {
  const double work = Max(f.chain_work_ms);
  const bool kept = work <= kLargeChainWorkGoalMs && f.start_ms <= kLargeStartGoalMs &&
                    f.peak_rss_kb <= kLargeRssGoalKb;
  std::printf(
      "goals for %d stations (chain's work <= %.0f ms, start <= %.0f ms, peak RSS <= %ld kB): "
      "%.1f ms, %.1f ms, %ld kB: %s\n",
      f.stations, kLargeChainWorkGoalMs, kLargeStartGoalMs, kLargeRssGoalKb, work, f.start_ms,
      f.peak_rss_kb, kept ? "kept" : "MISSED");
  return kept;
}

}  // namespace
}  // namespace velunor

int main(int argc, char** argv) {
  bool short_form = false;
  int chains = 5;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--short") == 0) {
      short_form = true;
      chains = 1;
    } else {
      chains = std::max(1, std::atoi(argv[i]));
    }
  }
  if (short_form && !velunor::bench::TestDatabaseConfigured()) return velunor::bench::kSkipped;
  using velunor::testing::NetworkShape;
  std::vector<NetworkShape> shapes = {{10}, {100}};
  if (!short_form) shapes.insert(shapes.end(), {{1000}, {5000, 12, true}});
  std::vector<velunor::NetworkFigures> networks;
  const bool measured = velunor::bench::MeasureEach(
      "price_chain_bench", shapes,
      [&](const NetworkShape& shape) {
        velunor::NetworkFigures figures = velunor::MeasureNetwork(shape, chains);
        velunor::Report(figures);
        return figures;
      },
      &networks);
  if (!measured) return 1;
  bool ok = velunor::bench::CountsStayFlat(velunor::bench::CountsOf(
      networks, velunor::kSteps.size(),
      [](size_t i) { return "state " + std::to_string(velunor::kSteps[i].state); }));
  if (!short_form) {
    ok = velunor::GoalsKept(networks[2]) && ok;
    ok = velunor::LargeGoalsKept(networks[3]) && ok;
  }
  return ok ? 0 : 1;
}
