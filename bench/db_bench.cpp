// Price intake over 3,000 current-price rows and price persistence of 1,000
// changed stations against the private MariaDB (scripts/bench starts it).
// Reports the statements each run sends.
#include <benchmark/benchmark.h>

#include <string>

#include "service/db/db_hand_ins.h"
#include "service/db/preisdaten.h"
#include "tests/test_support.h"

namespace velunor {
namespace {

constexpr int kStations = 1000;

// 1,000 MTS-active stations with three fuels each: 3,000 current prices.
void Seed(testing::DbTestEnv& t) {
  Connection& db = t.sql();
  std::string stations = "insert into lox_station (station, name1) values ";
  std::string mts = "insert into lox_station_mts (station, ps_aktiv, ps_aktiv_time) values ";
  std::string prices = "insert into lox_station_aktuelle_preise values ";
  for (int s = 1; s <= kStations; ++s) {
    const std::string n = std::to_string(s);
    const std::string sep = s == 1 ? "" : ", ";
    stations += sep + "(" + n + ", 'Station " + n + "')";
    mts += sep + "(" + n + ", 1, 1)";
    for (int f = 1; f <= 3; ++f) {
      prices += (s == 1 && f == 1 ? "" : ", ") + std::string("(") + n + ", " + std::to_string(f) +
                ", 1." + std::to_string(600 + s % 300) + ", '2026-12-06 08:00:00')";
    }
  }
  db.Execute(stations);
  db.Execute(mts);
  db.Execute(prices);
  t.service.LayOutStations(kStations);
  for (int s = 1; s <= kStations; ++s) {
    t.service.PlaceStation(s - 1, s, "Station " + std::to_string(s));
    StationEntry& e = t.db.stations[s];
    e.hasMtsFuels = 1;
    e.productE5 = 1;
    e.productE10 = 2;
    e.productDiesel = 3;
  }
  t.db.stammdaten.FirstStationNumber = 1;
  t.db.stammdaten.LastStationNumber = kStations;
}

void BM_PriceIntake3000Rows(benchmark::State& state) {
  testing::DbTestEnv t;
  Seed(t);
  for (auto _ : state) {
    for (int s = 1; s <= kStations; ++s) t.db.stations[s].priceE5 = std::string();
    const long before = t.sql().statements();
    DB_Get_MTS_StationsPreise(t.db);
    state.counters["statements"] = static_cast<double>(t.sql().statements() - before);
  }
  state.counters["rows"] = static_cast<double>(t.db.current_prices.rows.RecordCount());
}
BENCHMARK(BM_PriceIntake3000Rows)->Unit(benchmark::kMillisecond);

void BM_Preisdaten1000ChangedStations(benchmark::State& state) {
  testing::DbTestEnv t;
  Seed(t);
  for (auto _ : state) {
    state.PauseTiming();
    for (int s = 1; s <= kStations; ++s) {
      StationEntry& e = t.db.stations[s];
      e.newPriceE5 = " 1.999";
      e.newPriceTimeE5 = "2026-12-06T08:00:00+01:00";
      e.pricesChanged = 1;
    }
    const long before = t.sql().statements();
    state.ResumeTiming();
    DB_Preisdaten(t.db);
    state.counters["statements"] = static_cast<double>(t.sql().statements() - before);
  }
}
BENCHMARK(BM_Preisdaten1000ChangedStations)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace velunor

BENCHMARK_MAIN();
