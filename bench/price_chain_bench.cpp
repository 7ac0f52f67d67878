// The price chain for 10, 100 and 1,000 stations whose every price changed in
// one cycle: the scheduler states 1, 2, 3, 4, 10 and 90, one tick of the
// window MarktTransp each, with the real procedures against the private
// MariaDB and the endpoint simulator. Reports per step the time, the SQL
// statements, the server round trips and the time inside the ODBC driver;
// the chain from intake to acknowledgement; and the ratio of the chain's
// database time to that of as many "select 1" on the same connection. Every
// chain is checked: one publication with every station at its new price.
//   price_chain_bench [--short] [chains]
// --short (the form the test suite runs): 10 and 100 stations, one chain;
// exits with 1 when a step's statements or round trips grow with the
// stations. Otherwise also 1,000 stations, and exits with 1 when that
// network misses the goals (storing the prices <= 100 ms, chain <= 300 ms
// on a server that flushes every commit, see scripts/bench-chain).
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
  int stations = 0;
  std::array<StepFigures, kSteps.size()> steps;
  std::vector<double> chain_ms;
  std::vector<double> chain_odbc_ms;
  long chain_statements = 0;
  long chain_round_trips = 0;
  double select1_odbc_ms = 0;  // as many "select 1" as the chain sent, inside ODBC
  size_t publication_bytes = 0;
};

double Mean(const std::vector<double>& v) {
  return v.empty() ? 0 : std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
}
double Max(const std::vector<double>& v) {
  return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
}
double OdbcMs(std::chrono::nanoseconds from) { return Ms(bench::OdbcTime() - from).count(); }

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
  f.chain_statements = f.chain_round_trips = 0;
  trips.Since();
  for (size_t i = 0; i < kSteps.size(); ++i) {
    if (rig.window().state() != kSteps[i].state) {
      throw std::runtime_error("the chain stands at state " + std::to_string(rig.window().state()) +
                               " instead of " + std::to_string(kSteps[i].state));
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
  f.chain_ms.push_back(chain_ms);
  f.chain_odbc_ms.push_back(chain_odbc_ms);

  if (rig.window().state() != 0) throw std::runtime_error("the chain did not end in idle");
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

NetworkFigures MeasureNetwork(int stations, int chains) {
  NetworkFigures f;
  f.stations = stations;
  auto upstream = testing::TestDb::Connect();
  testing::TestDb::Reset(*upstream);
  testing::SeedStationNetwork(*upstream, stations);
  bench::RoundTrips trips;
  testing::ServiceRig::Options options;
  options.db_server = trips.server();
  // VELUNOR_BENCH_LEASE_SECONDS=0: without the reporter lease, to tell its cost.
  if (const char* lease = std::getenv("VELUNOR_BENCH_LEASE_SECONDS")) {
    options.lease_seconds = std::atoi(lease);
  }
  testing::ServiceRig rig(options);
  if (!rig.Start()) throw std::runtime_error("the service did not start");
  rig.RunFirstExports();

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
  std::printf("\nPrice chain, %d stations, every price changed; %zu chains\n", f.stations,
              f.chain_ms.size());
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
  std::printf("publication: %zu bytes\n", f.publication_bytes);
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
  const std::vector<int> sizes =
      short_form ? std::vector<int>{10, 100} : std::vector<int>{10, 100, 1000};
  std::vector<velunor::NetworkFigures> networks;
  try {
    for (int stations : sizes) {
      networks.push_back(velunor::MeasureNetwork(stations, chains));
      velunor::Report(networks.back());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "price_chain_bench: %s\n", e.what());
    return 1;
  }
  std::printf("\n");
  std::vector<std::vector<velunor::bench::StepCounts>> counts;
  for (const velunor::NetworkFigures& n : networks) {
    counts.emplace_back();
    for (size_t i = 0; i < velunor::kSteps.size(); ++i) {
      counts.back().push_back({"state " + std::to_string(velunor::kSteps[i].state), n.stations,
                               n.steps[i].statements, n.steps[i].round_trips});
    }
  }
  bool ok = velunor::bench::CountsStayFlat(counts);
  if (!short_form) ok = velunor::GoalsKept(networks.back()) && ok;
  return ok ? 0 : 1;
}
