// The station side for 10, 100, 1,000 and 5,000 stations (the last numbered up
// to 60,000) against the private
// MariaDB: the start (master data, station grid with fuels, first price
// intake), one mode-0 station synchronisation with every station changed,
// and the body of the station publication. Reports per step the time, the
// SQL statements, the server round trips and the database time against as
// many "select 1" on the same connection.
//   station_bench [--short]
// --short (the form the test suite runs): 10 and 100 stations; exits with 1
// when a step's statements or round trips grow with the stations. Otherwise
// also 1,000 and 5,000 stations, and exits with 1 when either misses the goals
// (start <= 2,000 ms, synchronisation <= 1,000 ms, body <= 3 statements).
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "bench/odbc_timing.h"
#include "bench/round_trips.h"
#include "service/db/connect.h"
#include "service/db/db_hand_ins.h"
#include "service/db/stationsdaten.h"
#include "service/publication/publication_hand_ins.h"
#include "tests/test_support.h"

namespace velunor {
namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

enum StepIndex { kStart, kSync, kBody, kStepCount };
constexpr std::array<const char*, kStepCount> kStepNames = {
    "start: master data, fuels, first intake", "synchronisation, all changed",
    "station publication body"};
constexpr double kStartGoalMs = 2000;
constexpr double kSyncGoalMs = 1000;
constexpr long kBodyGoalStatements = 3;

struct StepFigures {
  double ms = 0;
  double odbc_ms = 0;
  long statements = 0;
  long round_trips = 0;
  double select1_odbc_ms = 0;  // as many "select 1", inside ODBC
};

struct NetworkFigures {
  int stations = 0;
  int spacing = 1;  // station i has the number i * spacing
  std::array<StepFigures, kStepCount> steps;
};

// MTS-active stations with three fuels and their current prices, six weekly
// entries of different days (six records in mts_petrolstation_times, as a
// station with its own hours on every weekday has) and a special period each.
void Seed(testing::DbTestEnv& t, int stations, int spacing) {
  Connection& db = t.sql();
  t.dir.Write("Velunor.CFG", "CN=Bench, C=DE\r\nhttps://127.0.0.1/g\r\nhttps://127.0.0.1/p\r\n");
  db.Execute(
      "insert into stammdaten values (132, '12300000000000000000'), (133, '2026-000001'), "
      "(134, '2026-000001'), (135, 'Bench'), (491, '0')");
  db.Execute("insert into stammdaten_produkte values (1, 'SUP'), (2, 'E10'), (3, 'DIE')");
  std::string names = "insert into lox_station (station, name1, strasse, plzort) values ";
  std::string mts =
      "insert into lox_station_mts (station, status, ps_aktiv, ps_id, ps_version, "
      "ps_brand, Bundesland_ID) values ";
  std::string products = "insert into lox_station_produkte values ";
  std::string prices = "insert into lox_station_aktuelle_preise values ";
  std::string times =
      "insert into lox_station_mts_times (station, zeitraum, start_datum, "
      "end_datum, ps_time1, ps_time2, ps_time3, ps_time4, ps_time5, ps_time6) values ";
  for (int s = 1; s <= stations; ++s) {
    const std::string n = std::to_string(s * spacing);
    const std::string sep = s == 1 ? "" : ", ";
    names += sep + "(" + n + ", 'Station " + n + "', 'Hauptstr. " + n + "', '01067 Dresden')";
    mts +=
        sep + "(" + n + ", 1, 1, 'id-" + n + "', 1, 'Marke', " + std::to_string(s % 16 + 1) + ")";
    for (int f = 1; f <= 3; ++f) {
      const std::string fuel = std::to_string(f);
      const std::string sep_fuel = s == 1 && f == 1 ? "" : ", ";
      products += sep_fuel + "(" + n + ", " + fuel + ", " + fuel + ", 'J')";
      prices += sep_fuel + "(" + n + ", " + fuel + ", 1." + std::to_string(600 + s % 300) +
                ", '2026-12-06 08:00:00')";
    }
    times += sep + "(" + n +
             ", 0, null, null, '06:0022:0010000000', '06:0022:0001000000', "
             "'06:0022:0000100000', '06:0021:0000010000', '06:0021:0000001000', "
             "'08:0020:0000000111'), (" +
             n +
             ", 4, null, null, '20.12.202620.12.202608:0012:0001', null, null, null, null, null)";
  }
  for (const std::string& sql : {names, mts, products, prices, times}) db.Execute(sql);
}

StepFigures Measure(testing::DbTestEnv& t, bench::RoundTrips& trips,
                    const std::function<void()>& step) {
  StepFigures f;
  Connection& db = t.sql();
  const long statements = db.statements();
  trips.Since();
  const auto odbc = bench::OdbcTime();
  const auto start = Clock::now();
  step();
  f.ms = Ms(Clock::now() - start).count();
  f.odbc_ms = Ms(bench::OdbcTime() - odbc).count();
  f.statements = t.sql().statements() - statements;
  f.round_trips = trips.Since();
  const auto select1 = bench::OdbcTime();
  for (long i = 0; i < f.statements; ++i) t.sql().Query("select 1");
  f.select1_odbc_ms = Ms(bench::OdbcTime() - select1).count();
  trips.Since();
  return f;
}

NetworkFigures MeasureNetwork(int stations, int spacing) {
  NetworkFigures f;
  f.stations = stations;
  f.spacing = spacing;
  testing::DbTestEnv t;
  Seed(t, stations, spacing);
  bench::RoundTrips trips;
  t.db.DbServer = trips.server();
  if (!DB_Verbinden(t.db, t.db.DbServer).ok()) throw std::runtime_error("no connection");

  f.steps[kStart] = Measure(t, trips, [&] {
    testing::LoadStammdaten(t.db);
    DB_Get_MTS_StationsPreise(t.db);
  });
  // The first synchronisation learns the station count and writes every station.
  t.sql().Execute("update lox_station_mts set status = 2");
  DB_Stationsdaten(t.db, kStationSyncCheck);
  t.sql().Execute("update lox_station_mts set status = 2");
  f.steps[kSync] = Measure(t, trips, [&] {
    if (DB_Stationsdaten(t.db, kStationSyncCheck) != stations) {
      throw std::runtime_error("not every station was synchronised");
    }
  });
  PublicationState pub;
  f.steps[kBody] = Measure(t, trips, [&] { XML_Stationsdaten(pub, t.db); });
  if (!t.ErrorLines().empty()) throw std::runtime_error("logged: " + t.ErrorLines().front());
  return f;
}

void Report(const NetworkFigures& f) {
  std::printf("\nStations: %d numbered %d to %d, every station changed\n", f.stations, f.spacing,
              f.stations * f.spacing);
  std::printf("%-40s %9s %11s %12s %9s %9s\n", "step", "ms", "statements", "round trips", "odbc ms",
              "db ratio");
  for (size_t i = 0; i < kStepCount; ++i) {
    const StepFigures& s = f.steps[i];
    std::printf("%-40s %9.1f %11ld %12ld %9.1f %9.2f\n", kStepNames[i], s.ms, s.statements,
                s.round_trips, s.odbc_ms,
                s.select1_odbc_ms > 0 ? s.odbc_ms / s.select1_odbc_ms : 0);
  }
}

bool GoalsKept(const NetworkFigures& f) {
  const bool kept = f.steps[kStart].ms <= kStartGoalMs && f.steps[kSync].ms <= kSyncGoalMs &&
                    f.steps[kBody].statements <= kBodyGoalStatements;
  std::printf(
      "goals for %d stations (start <= %.0f ms, synchronisation <= %.0f ms, body <= %ld "
      "statements): %s\n",
      f.stations, kStartGoalMs, kSyncGoalMs, kBodyGoalStatements, kept ? "kept" : "MISSED");
  return kept;
}

}  // namespace
}  // namespace velunor

int main(int argc, char** argv) {
  const bool short_form = argc > 1 && std::strcmp(argv[1], "--short") == 0;
  if (short_form && !velunor::bench::TestDatabaseConfigured()) return velunor::bench::kSkipped;
  // Stations and the spacing of their numbers.
  std::vector<std::pair<int, int>> sizes = {{10, 1}, {100, 1}};
  if (!short_form) sizes.insert(sizes.end(), {{1000, 1}, {5000, 12}});
  std::vector<velunor::NetworkFigures> networks;
  const bool measured = velunor::bench::MeasureEach(
      "station_bench", sizes,
      [](const std::pair<int, int>& size) {
        velunor::NetworkFigures figures = velunor::MeasureNetwork(size.first, size.second);
        velunor::Report(figures);
        return figures;
      },
      &networks);
  if (!measured) return 1;
  bool ok = velunor::bench::CountsStayFlat(velunor::bench::CountsOf(
      networks, velunor::kStepCount, [](size_t i) { return std::string(velunor::kStepNames[i]); }));
  if (!short_form) {
    ok = velunor::GoalsKept(networks[2]) && ok;
    ok = velunor::GoalsKept(networks[3]) && ok;
  }
  return ok ? 0 : 1;
}
