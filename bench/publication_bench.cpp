// Building both publications for 1,000 stations with full data against the
// private MariaDB (start it as for the database tests): every station with
// three opening-time rows of two ranges, three prices with times and eight
// override periods. Reports the document size and the statements sent.
#include <benchmark/benchmark.h>

#include <string>

#include "service/publication/publication_hand_ins.h"
#include "service/publication/station_body.h"
#include "tests/test_support.h"

namespace velunor {
namespace {

constexpr int kStations = 1000;

void Seed(testing::DbTestEnv& t) {
  std::string stations = "insert into mts_petrolstation values ";
  std::string times = "insert into mts_petrolstation_times values ";
  for (int s = 1; s <= kStations; ++s) {
    const std::string n = std::to_string(s);
    const std::string sep = s == 1 ? "" : ", ";
    stations += sep + "(" + n + ", 2, 'c0ffee00-0000-4000-8000-" +
                std::to_string(100000000000 + s) +
                "', 12, '2026-12-01T10:00:00+01:00', 'Tankstelle Müller & Söhne " + n +
                "', 'Marke', 'Hauptstraße', '12a', '20095', 'Hamburg', '53,5511', '9,9937', "
                "'DE-HH')";
    times += sep + "(" + n + ", 1, 1, '06:00:00', '12:00:00', '11111000', '13:00:00', '20:00:00')";
    times += ", (" + n + ", 2, 1, '07:00:00', '12:00:00', '00000110', '14:00:00', '18:00:00')";
    times += ", (" + n + ", 3, 1, '09:00:00', '12:00:00', '00000001', '', '')";
    StationEntry& e = t.db.stations[s];
    e.activeTime = 1;
    e.priceE5 = " 1.859";
    e.priceE10 = " 1.799";
    e.priceDiesel = " 1.659";
    e.priceTimeE5 = e.priceTimeE10 = e.priceTimeDiesel = std::string("2026-12-06T08:00:00+01:00");
    for (size_t k = 1; k <= 8; ++k) {
      e.overrides[k].active = 1;
      e.overrides[k].closed = static_cast<int32_t>(k % 2);
      e.overrides[k].periodStart = std::string("2026-12-24T14:00:00+01:00");
      e.overrides[k].periodEnd = std::string("2026-12-26T06:00:00+01:00");
    }
  }
  t.sql().Execute(stations);
  t.sql().Execute(times);
  t.db.stammdaten.ReporterName = "Müller & Söhne";
}

// Times `build` per iteration, with its statements, the publication's size
// and the failures logged beside it.
template <typename Build>
void Measure(benchmark::State& state, testing::DbTestEnv& t, PublicationState& pub, Build build) {
  for (auto _ : state) {
    const long before = t.sql().statements();
    build();
    state.counters["statements"] = static_cast<double>(t.sql().statements() - before);
  }
  state.counters["bytes"] = static_cast<double>(pub.PublicationXml.size());
  state.counters["errors"] = static_cast<double>(t.ErrorLines().size());
}

void BM_StationPublication1000(benchmark::State& state) {
  testing::DbTestEnv t;
  Seed(t);
  PublicationState pub;
  XML_Init(pub, t.db);
  Measure(state, t, pub, [&] {
    XML_Stationsdaten(pub, t.db);
    XML_Out_Station(pub, t.db);
  });
}
BENCHMARK(BM_StationPublication1000)->Unit(benchmark::kMillisecond);

void BM_PricePublication1000(benchmark::State& state) {
  testing::DbTestEnv t;
  Seed(t);
  PublicationState pub;
  XML_Init(pub, t.db);
  XML_Stationsdaten(pub, t.db);
  Measure(state, t, pub, [&] {
    XML_Preisdaten(pub, t.db);
    XML_Out_Preise(pub, t.db);
  });
}
BENCHMARK(BM_PricePublication1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velunor

BENCHMARK_MAIN();
