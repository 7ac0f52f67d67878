// The batch on every server the design allows: rows beyond the driver's
// limit of values, rich opening times, positional columns of other names,
// tables without transactions and the server's own SQL mode.
#include <gtest/gtest.h>

#include "service/db/batch_write.h"
#include "service/db/db_hand_ins.h"
#include "service/db/stationsdaten.h"
#include "tests/batch_scenarios.h"
#include "tests/expect_text.h"
#include "tests/proof_server.h"
#include "tests/test_support.h"

namespace velunor {
namespace {

using testing::DbTestEnv;
using testing::Joined;
using testing::PriceScenario;
using testing::SeedStations;
using testing::Sql;
using testing::StationScenario;
using testing::SyncStations;

// More values than the driver binds to one statement (32,767), in one
// transaction for the rows of every batched table: rows with markers as one
// parameter array each, split where its values pass 1 MB; rows of text in a
// few statements.
TEST(DbBatchTest, RowsBeyondTheDriversLimitOfValuesGoInAFewStatements) {
  DbTestEnv t;
  auto rows = [](long count, const std::vector<std::string>& row) {
    std::vector<DbValue> params;
    for (long s = 1; s <= count; ++s) {
      params.push_back(std::to_string(s));
      params.insert(params.end(), row.begin(), row.end());
    }
    return params;
  };
  auto named = [](const char* table, std::initializer_list<const char*> names) {
    std::vector<SqlColumn> columns;
    for (const char* name : names) columns.push_back({name, std::nullopt, columns.size() > 0});
    return InsertOrUpdateRows(table, columns);
  };
  const std::vector<DbValue> times =
      rows(10000, {"1", "06:00:00", "22:00:00", "11111110", "", ""});  // 70,000 values
  const std::vector<DbValue> master = rows(                            // 33,600 values
      2400, {"2", "id", "1", "2026-12-06T09:00:00+01:00", "Name", "Marke", "Str.", "1", "01067",
             "Ort", "51.0", "13.7", "DE-SN"});
  const std::vector<DbValue> prices = rows(  // 96,000 values, 1.1 MB in their slots
      12000, {"2", "1.859", "2026-12-06T09:00:00+01:00", "1.789", "2026-12-06T09:00:00+01:00",
              "1.659", "2026-12-06T09:00:00+01:00"});
  Procedure p(t.log, "Test");
  const long before = t.sql().statements();
  const BatchResult result = WriteInOneTransaction(t.db, p, [&](BatchWriter& db) {
    db.ExecuteRows(
        {"insert into mts_petrolstation_times values ", "( ?, ?, 1, ?, ?, ?, ?, ? )", ""}, times);
    db.ExecuteRows(named("mts_petrolstation",
                         {"station", "status", "ps_id", "ps_version", "ps_version_time", "ps_name",
                          "ps_brand", "ps_street", "ps_housenumber", "ps_postcode", "ps_place",
                          "ps_latitude", "ps_longitude", "ps_federalstate"}),
                   master);
    db.ExecuteRows(named("mts_petrolstation_price",
                         {"station", "status", "ps_pricee5", "ps_pricee5_time", "ps_pricee10",
                          "ps_pricee10_time", "ps_pricediesel", "ps_pricediesel_time"}),
                   prices);
    std::vector<std::string> overrides;  // 41,000 values
    for (long s = 1; s <= 1025; ++s) {
      for (int k = 1; k <= 8; ++k) {
        overrides.push_back("( " + std::to_string(s) + ", " + std::to_string(k) +
                            " , 0, '2026-12-24T06:00:00+01:00', '2026-12-24T14:00:00+01:00' )");
      }
    }
    db.ExecuteRows("insert into mts_petrolstation_override_times values", overrides, 5);
  });
  EXPECT_EQ(result, BatchResult::kWritten) << Joined(t.ErrorLines());
  EXPECT_EQ(t.sql().statements() - before, 2 + 2 * (1 + 1 + 2 + 2))
      << "start, each statement with its look at the warnings, commit";
  EXPECT_EQ(t.Rows("select count(*), min(station), max(station) from mts_petrolstation_times"),
            "10000,1,10000");
  EXPECT_EQ(t.Rows("select count(*), max(ps_name) from mts_petrolstation"), "2400,Name");
  EXPECT_EQ(t.Rows("select count(*), min(station), max(station) from mts_petrolstation_price"),
            "12000,1,12000");
  EXPECT_EQ(t.Rows("select count(*) from mts_petrolstation_override_times"), "8200");
}

// 1,000 stations with six weekly records and eight special periods each
// (42,000 opening-time values, 40,000 override values): both steps stay on
// the batch.
TEST(DbBatchTest, RichOpeningTimesOfAThousandStationsAreWrittenTogether) {
  DbTestEnv t;
  t.dir.Write("Velunor.CFG", "CN=Test, C=DE\r\nhttps://127.0.0.1/g\r\nhttps://127.0.0.1/p\r\n");
  Sql(t,
      "insert into stammdaten values (132, '12300000000000000000'), (133, '2026-000005'), "
      "(134, '2026-000007'), (135, 'Müller'), (491, '0')");
  std::string names = "insert into lox_station (station, name1, strasse, plzort) values ";
  std::string mts =
      "insert into lox_station_mts (station, status, ps_aktiv, ps_id, ps_version, ps_brand, "
      "ps_latitude, ps_longitude, Bundesland_ID) values ";
  std::string times =
      "insert into lox_station_mts_times (station, zeitraum, ps_time1, ps_time2, ps_time3, "
      "ps_time4, ps_time5, ps_time6) values ";
  for (int s = 1; s <= 1000; ++s) {
    const std::string n = std::to_string(s);
    const std::string sep = s == 1 ? "" : ", ";
    names += sep + "(" + n + ", 'Station " + n + "', 'Hauptstr. 1', '01067 Dresden')";
    mts += sep + "(" + n + ", 2, 1, 'id', 1, 'Marke', '51.0', '13.7', 14)";
    times += sep + "(" + n +
             ", 0, '06:0022:001000000011', '06:0022:0001000000', '06:0022:0000100000', "
             "'06:0021:0000010000', '06:0021:0000001000', '08:0020:0000000110'), (" +
             n +
             ", 4, '10.12.202610.12.202608:0012:0001', '11.12.202611.12.202608:0012:0001', "
             "'12.12.202612.12.202608:0012:0010', '13.12.202613.12.202608:0012:0001', "
             "'14.12.202614.12.202608:0012:0001', '15.12.202615.12.202608:0012:0010')";
  }
  for (const std::string& sql : {names, mts, times}) Sql(t, sql);
  testing::LoadStammdaten(t.db);

  long before = t.sql().statements();
  EXPECT_EQ(DB_Stationsdaten(t.db, kStationSyncCheck), 1000);
  EXPECT_LT(t.sql().statements() - before, 40) << "the batch, not station by station";
  EXPECT_EQ(t.Rows("select count(*), count(distinct station) from mts_petrolstation_times"),
            "6000,1000");
  t.db.stammdaten.FirstStationNumber = 1;
  t.db.stammdaten.LastStationNumber = 1000;
  before = t.sql().statements();
  DB_Preisdaten(t.db);
  EXPECT_LT(t.sql().statements() - before, 20) << "the batch, not station by station";
  EXPECT_EQ(
      t.Rows("select count(*), count(distinct station) from mts_petrolstation_override_times"),
      "8000,1000");
  EXPECT_TRUE(t.ErrorLines().empty()) << Joined(t.ErrorLines());
}

// The history keys and the override columns under names of the operator's
// own: both steps stay on the batch and leave what they leave under the
// schema's names.
TEST(DbBatchTest, ColumnsWrittenByPositionMayBearOtherNames) {
  long statements = 0;
  const auto usual = [&](std::string (*scenario)(DbTestEnv&, long*)) {
    DbTestEnv t;
    return scenario(t, &statements);
  };
  const std::string usual_prices = usual(PriceScenario);
  const std::string usual_stations = usual(StationScenario);
  const std::vector<std::pair<std::string, std::string>> renamed = {
      {"mts_petrolstation_historie", "historie_id"},
      {"mts_petrolstation_times_historie", "historie_id"},
      {"mts_petrolstation_price_historie", "historie_id"},
      {"mts_petrolstation_override_times_historie", "historie_id"},
      {"mts_petrolstation_override_times", "ps_override_nr"}};
  auto rename = [&](Connection& db, bool back) {
    for (const auto& [table, column] : renamed) {
      db.Execute("alter table " + table + " rename column " + (back ? "anders" : column) + " to " +
                 (back ? column : "anders"));
    }
  };
  DbTestEnv prices_env;
  rename(prices_env.sql(), false);
  const testing::OnExit restore([&] { rename(prices_env.sql(), true); });
  EXPECT_EQ(PriceScenario(prices_env, &statements), usual_prices);
  EXPECT_LE(statements, 1 + 2 * 10) << "the batch, not station by station";
  DbTestEnv stations_env;
  EXPECT_EQ(StationScenario(stations_env, &statements), usual_stations);
  EXPECT_LE(statements, 2 * 25 + 4) << "the batch, not station by station";
  EXPECT_TRUE(prices_env.ErrorLines().empty()) << Joined(prices_env.ErrorLines());
  EXPECT_TRUE(stations_env.ErrorLines().empty()) << Joined(stations_env.ErrorLines());
}

// Tables without transactions (older lox databases): a name too long for
// the operator's column in a later row is refused with the station's own
// statement and logged, never stored cut short; every other station is
// written, each existing row has one history copy.
TEST(DbBatchTest, OnTablesWithoutTransactionsARefusedRowCostsOnlyItsStation) {
  testing::PrivateServer server;
  DbTestEnv t;
  ASSERT_TRUE(testing::ConnectAsTestAccount(t.db, server.Server()).ok());
  for (const std::vector<std::string>* step : {&kStationBatchTables, &kPriceBatchTables}) {
    for (const std::string& table : *step) Sql(t, "alter table " + table + " engine = MyISAM");
  }
  Sql(t, "alter table mts_petrolstation modify ps_name varchar(25) null");
  SeedStations(t);
  Sql(t, "update lox_station set name1 = 'Zwei mit einem viel zu langen Namen' where station = 2");

  const std::vector<std::string> errors = SyncStations(t);
  ASSERT_EQ(errors.size(), 2u) << Joined(errors);
  EXPECT_TRUE(Contains(errors[0],
                       "DB_Stationsdaten / 0 / Stationsdaten werden Station für Station "
                       "geschrieben, Preisdaten Station für Station (Tabellen ohne "
                       "Transaktionen: mts_petrolstation (MyISAM), "));
  EXPECT_TRUE(Contains(errors[1], "--> DB_Stationsdaten / 1406 / Zeile: 56 "));
  EXPECT_TRUE(Contains(errors[1], " values ( '2', '2', 'id-2', '8', "))
      << "the refused station's own statement";
  EXPECT_EQ(t.Rows("select station, ps_name from mts_petrolstation order by station"),
            "1,Eins | 2,Zwei alt | 3,Drei | 4,Vier");
  EXPECT_EQ(t.Rows("select historie_id, station, ps_name from mts_petrolstation_historie order by "
                   "historie_id"),
            "1,9,<null> | 2,2,<null> | 3,1,Eins alt | 4,2,Zwei alt");
  EXPECT_EQ(t.Rows("select historie_id, station, satz from mts_petrolstation_times_historie order "
                   "by historie_id, satz"),
            "3,1,1 | 4,2,1 | 4,2,2");
}

// Without a strict SQL mode a multi-row insert stores a later row's NULL in
// a NOT NULL column as the column type's default, where the station's own
// statement is refused: the batch stores nothing the station's statements
// would not.
TEST(DbBatchTest, UnderTheServersOwnSqlModeTheBatchStoresWhatStationByStationStores) {
  DbTestEnv t;
  const testing::OnExit restore([&] {
    Sql(t, "alter table mts_petrolstation modify ps_id varchar(64) null");
    Sql(t, "alter table lox_station_mts modify ps_id varchar(64) not null default ''");
  });
  Sql(t, "alter table mts_petrolstation modify ps_id varchar(64) not null");
  Sql(t, "alter table lox_station_mts modify ps_id varchar(64) null");
  Sql(t, "set session sql_mode = ''");
  SeedStations(t);
  Sql(t, "update lox_station_mts set ps_id = null where station = 3");
  Sql(t, "update lox_station set name1 = concat('Eins', repeat('-', 120)) where station = 1");

  const std::vector<std::string> errors = SyncStations(t);
  ASSERT_EQ(errors.size(), 1u) << Joined(errors);
  EXPECT_TRUE(Contains(errors[0], "--> DB_Stationsdaten / 1048 / Zeile: 56 "));
  EXPECT_EQ(t.Rows("select station, ps_id, length(ps_name) from mts_petrolstation"),
            "1,id-1,100 | 2,id-2,4 | 4,id-4,4")
      << "station 3 refused as its own statement is; the long name cut as its own statement "
         "cuts it";
}

}  // namespace
}  // namespace velunor
