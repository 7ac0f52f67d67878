// One mode-0 station synchronisation with 1,000 changed stations against the
// private MariaDB (scripts/bench starts it): history copies, master rows,
// opening times and special periods. Reports the statements each run sends.
#include <benchmark/benchmark.h>

#include <string>

#include "service/db/lox_stammdaten.h"
#include "service/db/stationsdaten.h"
#include "tests/test_support.h"

namespace velunor {
namespace {

constexpr int kStations = 1000;

// 1,000 MTS-active stations with three fuels, two weekly entries, a
// temporary period and a special period each, already reported once.
void Seed(testing::DbTestEnv& t) {
  Connection& db = t.sql();
  t.dir.Write("Velunor.CFG", "CN=Bench, C=DE\r\nhttps://127.0.0.1/g\r\nhttps://127.0.0.1/p\r\n");
  db.Execute(
      "insert into stammdaten values (132, '12300000000000000000'), (133, '2026-000001'), "
      "(134, '2026-000001'), (135, 'Bench'), (491, '0')");
  db.Execute("insert into stammdaten_produkte values (1, 'SUP'), (2, 'E10'), (3, 'DIE')");
  std::string stations = "insert into lox_station (station, name1, strasse, plzort) values ";
  std::string mts =
      "insert into lox_station_mts (station, status, ps_aktiv, ps_id, ps_version, "
      "ps_brand, Bundesland_ID) values ";
  std::string products = "insert into lox_station_produkte values ";
  std::string times =
      "insert into lox_station_mts_times (station, zeitraum, start_datum, "
      "end_datum, ps_time1, ps_time2) values ";
  for (int s = 1; s <= kStations; ++s) {
    const std::string n = std::to_string(s);
    const std::string sep = s == 1 ? "" : ", ";
    stations += sep + "(" + n + ", 'Station " + n + "', 'Hauptstr. " + n + "', '01067 Dresden')";
    mts +=
        sep + "(" + n + ", 1, 1, 'id-" + n + "', 1, 'Marke', " + std::to_string(s % 16 + 1) + ")";
    for (int f = 1; f <= 3; ++f) {
      products += (s == 1 && f == 1 ? "" : ", ") + std::string("(") + n + ", " + std::to_string(f) +
                  ", " + std::to_string(f) + ", 'J')";
    }
    times += sep + "(" + n + ", 0, null, null, '06:0012:0011111001', '14:0022:0011111001'), (" + n +
             ", 1, '09.12.', '11.12.', '08:0018:0011111110', null), (" + n +
             ", 4, null, null, '20.12.202620.12.202608:0012:0001', null)";
  }
  db.Execute(stations);
  db.Execute(mts);
  db.Execute(products);
  db.Execute(times);
  DB_LOXStammdaten(t.db);
  // The first run learns the station count and writes every station once.
  db.Execute("update lox_station_mts set status = 2");
  DB_Stationsdaten(t.db, kStationSyncCheck);
}

void BM_Stationsdaten1000ChangedStations(benchmark::State& state) {
  testing::DbTestEnv t;
  Seed(t);
  for (auto _ : state) {
    state.PauseTiming();
    t.sql().Execute("update lox_station_mts set status = 2");
    const long before = t.sql().statements();
    state.ResumeTiming();
    const int changes = DB_Stationsdaten(t.db, kStationSyncCheck);
    state.counters["statements"] = static_cast<double>(t.sql().statements() - before);
    state.counters["changes"] = changes;
  }
  state.counters["errors"] = static_cast<double>(t.ErrorLines().size());
}
BENCHMARK(BM_Stationsdaten1000ChangedStations)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace velunor

BENCHMARK_MAIN();
