// Prices and station data written for many stations at once, against the
// private MariaDB: the tables end up as the station-by-station statements
// leave them, a row the server refuses costs only its own station, and a
// server that goes away in the middle of the batch loses no price.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "service/db/batch_write.h"
#include "service/db/lox_stammdaten.h"
#include "service/db/preisdaten.h"
#include "service/db/stationsdaten.h"
#include "service/db/verbindung.h"
#include "tests/proof_server.h"
#include "tests/small_network.h"
#include "tests/test_support.h"

namespace velunor {
namespace {

using testing::DbTestEnv;
using testing::Joined;
using testing::QueryRows;

// A trigger that refuses a history row with a key given by the statement:
// the batch numbers its history rows itself, one statement per station lets
// the table number them. With it in place every run takes the way station by
// station. Test triggers start with "test_"; TestDb::Reset drops them.
void RefuseNumberedHistoryRows(Connection& db, const std::string& table) {
  db.Execute("create trigger test_one_by_one_" + table + " before insert on " + table +
             " for each row if new.historie_id <> 0 then signal sqlstate '45000' set "
             "message_text = 'numbered by the statement'; end if");
}

// Every column of every row of `tables`, in key order.
std::string Dump(Connection& db, std::initializer_list<const char*> tables) {
  std::string text;
  for (const char* table : tables) {
    const ResultSet rs = db.Query(std::string("select * from ") + table);
    std::string order;
    for (size_t c = 1; c <= rs.ColumnCount(); ++c) {
      order += (c == 1 ? "" : ", ") + std::to_string(c);
    }
    text += std::string(table) + ": " +
            QueryRows(db, std::string("select * from ") + table + " order by " + order) + "\n";
  }
  return text;
}

OverrideTime Period(int closed, const std::string& start, const std::string& end) {
  OverrideTime o;
  o.active = 1;
  o.closed = closed;
  o.periodStart = start;
  o.periodEnd = end;
  return o;
}

void NewPrice(PriceText& price, TimeText& time, const std::string& value) {
  price = value;
  time = "2026-12-06T09:00:00+01:00";
}

void Sql(DbTestEnv& t, const std::string& sql) { t.sql().Execute(sql); }

// Stations 1..7 in the station table; rows and history of an earlier run.
void SeedPrices(DbTestEnv& t) {
  for (long s = 1; s <= 7; ++s) {
    StationEntry& e = t.db.stations[s];
    e.hasMtsFuels = 1;
    e.productE5 = 1;
    e.productE10 = 2;
    e.productDiesel = 3;
  }
  t.db.stations[2].productE10 = 0;     // not sold: its price becomes 0.0, its time stays
  t.db.stations[3].productDiesel = 0;  // station 3 has no row yet
  t.db.stammdaten.FirstStationNumber = 1;
  t.db.stammdaten.LastStationNumber = 7;
  Sql(t,
      "insert into mts_petrolstation_price values "
      "(1, 2, '1.859', '2026-12-05T10:00:00+01:00', '1.789', '2026-12-05T10:00:00+01:00', "
      "'1.659', '2026-12-05T10:00:00+01:00'), "
      "(2, 2, '1.869', '2026-12-05T11:00:00+01:00', '1.799', '2026-12-05T11:00:00+01:00', "
      "'1.669', '2026-12-05T11:00:00+01:00'), "
      "(4, 2, '1.879', '2026-12-05T12:00:00+01:00', null, null, '1.679', "
      "'2026-12-05T12:00:00+01:00'), "
      "(5, 2, '1.889', '2026-12-05T13:00:00+01:00', '1.819', '2026-12-05T13:00:00+01:00', "
      "'1.689', '2026-12-05T13:00:00+01:00'), "
      "(6, 2, '1.899', '2026-12-05T14:00:00+01:00', '1.829', '2026-12-05T14:00:00+01:00', "
      "'1.699', '2026-12-05T14:00:00+01:00'), "
      "(7, 2, '1.909', '2026-12-05T15:00:00+01:00', '1.839', '2026-12-05T15:00:00+01:00', "
      "'1.709', '2026-12-05T15:00:00+01:00')");
  Sql(t, "insert into mts_petrolstation_price_historie (station, status) values (9, 2), (4, 2)");
  Sql(t,
      "insert into mts_petrolstation_override_times values "
      "(4, 1, 1, '2026-12-24T14:00:00+01:00', '2026-12-24T23:59:00+01:00'), "
      "(5, 1, 0, '2026-12-31T06:00:00+01:00', '2026-12-31T14:00:00+01:00'), "
      "(6, 1, 1, '2026-12-25T00:00:00+01:00', '2026-12-25T23:59:00+01:00'), "
      "(3, 1, 0, '2026-12-27T06:00:00+01:00', '2026-12-27T12:00:00+01:00')");
}

// Two runs over every kind of row: new prices, a fuel not sold, a fuel
// without upstream price, a station without row, override rows rewritten,
// kept and deleted. Returns the tables and the station table afterwards, and
// the statements the two runs sent in `statements`.
std::string PriceScenario(DbTestEnv& t, long* statements) {
  SeedPrices(t);
  StationTable& st = t.db.stations;
  NewPrice(st[1].newPriceE10, st[1].newPriceTimeE10, " 1.799");
  NewPrice(st[2].newPriceE5, st[2].newPriceTimeE5, " 1.849");
  NewPrice(st[3].newPriceE5, st[3].newPriceTimeE5, " 1.839");
  st[4].overrides[1] = Period(0, "2026-12-31T06:00:00+01:00", "2026-12-31T14:00:00+01:00");
  st[4].overrides[3] = Period(1, "2027-01-01T00:00:00+01:00", "2027-01-01T23:59:00+01:00");
  st[5].overrides[1] = Period(0, "2026-12-31T06:00:00+01:00", "2026-12-31T14:00:00+01:00");
  st[5].overrideRowsKnown = true;
  st[5].overrideRowsWritten = {
      "insert into mts_petrolstation_override_times values( 5, 1 , 0, "
      "'2026-12-31T06:00:00+01:00', '2026-12-31T14:00:00+01:00' )"};
  NewPrice(st[5].newPriceDiesel, st[5].newPriceTimeDiesel, " 1.599");
  for (long s = 1; s <= 6; ++s) st[s].pricesChanged = 1;
  const long before = t.sql().statements();
  DB_Preisdaten(t.db);

  NewPrice(st[1].newPriceE5, st[1].newPriceTimeE5, " 1.819");
  st[4].overrides[2] = Period(1, "2026-12-26T00:00:00+01:00", "2026-12-26T12:00:00+01:00");
  st[1].pricesChanged = st[4].pricesChanged = 1;
  DB_Preisdaten(t.db);
  *statements = t.sql().statements() - before;

  std::string text = Dump(
      t.sql(), {"mts_petrolstation_price", "mts_petrolstation_price_historie",
                "mts_petrolstation_override_times", "mts_petrolstation_override_times_historie"});
  for (long s = 1; s <= 7; ++s) {
    const StationEntry& e = st[s];
    text += std::to_string(s) + ": " + std::to_string(e.pricesChanged) + " " + e.priceE5.str() +
            "/" + e.newPriceE5.str() + " " + e.priceE10.str() + "/" + e.newPriceE10.str() + " " +
            e.priceDiesel.str() + "/" + e.newPriceDiesel.str() + " " +
            (e.overrideRowsKnown ? Joined(e.overrideRowsWritten) : "unknown\n");
  }
  return text;
}

TEST(DbBatchTest, PricesWrittenTogetherLeaveWhatStationByStationLeaves) {
  DbTestEnv together_env;
  long statements = 0;
  const std::string together = PriceScenario(together_env, &statements);
  EXPECT_TRUE(together_env.ErrorLines().empty()) << Joined(together_env.ErrorLines());
  // The first batch of the connection reads the tables' engines; every
  // multi-row insert is followed by a look at the server's warnings.
  EXPECT_LE(statements, 1 + 2 * 10) << "two runs of a handful of statements each";
  EXPECT_NE(together.find("3,2,1.839,2026-12-06T09:00:00+01:00,0.0,,0.0,<null>"), std::string::npos)
      << "a new row: 0.0 and an empty time for a fuel without price, NULL time for one not "
         "sold\n"
      << together;
  EXPECT_NE(together.find("2,2,1.849,2026-12-06T09:00:00+01:00,0.0,2026-12-05T11:00:00+01:00,"),
            std::string::npos)
      << "a fuel not sold: price 0.0, its time kept\n"
      << together;
  EXPECT_NE(together.find("5,4,2,1.879,"), std::string::npos)
      << "history rows numbered on in station order\n"
      << together;
  EXPECT_EQ(together.find("2026-12-27T06:00:00"), std::string::npos)
      << "the override rows of a station without price row have no history row to go under\n"
      << together;

  DbTestEnv alone_env;
  RefuseNumberedHistoryRows(alone_env.sql(), "mts_petrolstation_price_historie");
  const std::string alone = PriceScenario(alone_env, &statements);
  EXPECT_GT(statements, 30) << "the second scenario went station by station";
  EXPECT_TRUE(alone_env.ErrorLines().empty()) << Joined(alone_env.ErrorLines());
  EXPECT_EQ(together, alone);
}

TEST(DbBatchTest, APriceRowTheServerRefusesCostsOnlyItsOwnStation) {
  DbTestEnv t;
  struct Restore {
    DbTestEnv& t;
    ~Restore() { Sql(t, "alter table mts_petrolstation_price modify ps_pricee5 varchar(10) null"); }
  } restore{t};
  SeedPrices(t);
  Sql(t, "alter table mts_petrolstation_price modify ps_pricee5 varchar(5) null");
  StationTable& st = t.db.stations;
  for (long s = 1; s <= 6; ++s) {
    NewPrice(st[s].newPriceE5, st[s].newPriceTimeE5,
             s == 4 ? "10.499" : " 1.50" + std::to_string(s));
    st[s].pricesChanged = 1;
  }
  DB_Preisdaten(t.db);

  const std::vector<std::string> errors = t.ErrorLines();
  ASSERT_EQ(errors.size(), 1u) << Joined(errors);
  EXPECT_NE(errors[0].find("--> DB_Preisdaten / 1406 / Zeile: 5 "), std::string::npos) << errors[0];
  EXPECT_NE(errors[0].find(" values ( '4', '2', '10.499', "), std::string::npos)
      << "the refused station's own statement: " << errors[0];
  EXPECT_EQ(QueryRows(t.sql(),
                      "select station, ps_pricee5 from mts_petrolstation_price order by station"),
            "1,1.501 | 2,1.502 | 3,1.503 | 4,1.879 | 5,1.505 | 6,1.506 | 7,1.909");
  EXPECT_EQ(QueryRows(t.sql(),
                      "select station, count(*) from mts_petrolstation_price_historie where "
                      "historie_id > 2 group by station order by station"),
            "1,1 | 2,1 | 4,1 | 5,1 | 6,1")
      << "one history copy per existing row, none left by the refused batch";
  for (long s = 1; s <= 6; ++s) {
    EXPECT_EQ(st[s].pricesChanged, s == 4 ? 1 : 0) << "station " << s;
  }
}

// Stations 1..5 upstream: 1 to 3 changed and reporting (2 open around the
// clock, 3 with a temporary period and no row of its own yet), 4 changed and
// no longer reporting, 5 unchanged; rows and times of an earlier run.
void SeedStations(DbTestEnv& t) {
  t.dir.Write("Velunor.CFG", "CN=Test, C=DE\r\nhttps://127.0.0.1/g\r\nhttps://127.0.0.1/p\r\n");
  Sql(t,
      "insert into stammdaten values (132, '12300000000000000000'), (133, '2026-000005'), "
      "(134, '2026-000007'), (135, 'Müller'), (491, '0')");
  Sql(t, "insert into stammdaten_produkte values (1, 'SUP'), (2, 'E10'), (3, 'DIE')");
  Sql(t,
      "insert into lox_station (station, name1, strasse, plzort) values "
      "(1, 'Eins', 'Hauptstr. 1', '01067 Dresden'), (2, 'Zwei', 'Ring 2a', '04109 Leipzig'), "
      "(3, 'Drei', 'Weg', '09111 Chemnitz'), (4, 'Vier', 'Allee 4', '02625 Bautzen'), "
      "(5, 'Fünf', 'Platz 5', '08056 Zwickau')");
  Sql(t,
      "insert into lox_station_mts (station, status, ps_aktiv, ps_id, ps_version, ps_brand, "
      "ps_latitude, ps_longitude, Bundesland_ID) values "
      "(1, 2, 1, 'id-1', 4, 'Aral', '51.05', '13,74', 14), (2, 2, 1, 'id-2', 7, 'Esso', '51.3', "
      "'12.4', 14), (3, 2, 1, 'id-3', 1, 'Shell', '50.8', '12.9', null), "
      "(4, 2, 0, 'id-4', 2, 'Jet', '51.2', '14.4', 14), (5, 1, 1, 'id-5', 3, 'Total', '50.7', "
      "'12.5', 14)");
  Sql(t,
      "insert into lox_station_produkte values (1, 11, 1, 'J'), (1, 12, 2, 'J'), (1, 13, 3, 'J'), "
      "(2, 21, 1, 'J'), (2, 23, 3, 'J'), (3, 31, 1, 'J'), (3, 32, 2, 'N'), (5, 51, 1, 'J')");
  Sql(t,
      "insert into lox_station_mts_times (station, zeitraum, start_datum, end_datum, ps_time1, "
      "ps_time2) values (1, 0, null, null, '06:0012:0011111001', '14:0022:0011111001'), "
      "(1, 4, null, null, '20.12.202620.12.202608:0012:0001', null), "
      "(2, 0, null, null, '00:0000:001111111', null), "
      "(3, 0, null, null, '07:0019:0011111110', null), "
      "(3, 1, '09.12.', '11.12.', '08:0018:0011111110', null)");
  Sql(t,
      "insert into mts_petrolstation (station, status, ps_id, ps_version, ps_name) values "
      "(1, 1, 'id-1', 4, 'Eins alt'), (2, 1, 'id-2', 7, 'Zwei alt'), (4, 1, 'id-4', 2, 'Vier')");
  Sql(t,
      "insert into mts_petrolstation_times values (1, 1, 1, '06:00:00', '20:00:00', '11111110', "
      "'', ''), (2, 1, 1, '06:00:00', '22:00:00', '11111110', '', ''), (2, 2, 1, '08:00:00', "
      "'20:00:00', '00000011', '', ''), (3, 1, 1, '04:00:00', '23:30:00', '11111111', '', '')");
  Sql(t, "insert into mts_petrolstation_price (station, status) values (4, 2)");
  Sql(t, "insert into mts_petrolstation_historie (station) values (9), (2)");
}

// The first synchronisation learns the station count and takes stations 1
// to 4; the second takes 1 and 2 again with new opening times. Returns the
// tables, the station table and the grid afterwards, and the statements of
// the two runs in `statements`.
std::string StationScenario(DbTestEnv& t, long* statements) {
  SeedStations(t);
  DB_LOXStammdaten(t.db);
  const long before = t.sql().statements();
  DB_Stationsdaten(t.db, kStationSyncCheck);
  Sql(t, "update lox_station_mts set status = 2 where station in (1, 2)");
  Sql(t, "delete from lox_station_mts_times where station in (1, 2)");
  Sql(t,
      "insert into lox_station_mts_times (station, zeitraum, ps_time1) values "
      "(1, 0, '00:0000:001111111'), (2, 0, '05:0023:0011111111')");
  DB_Stationsdaten(t.db, kStationSyncCheck);
  *statements = t.sql().statements() - before - 3;

  std::string text =
      Dump(t.sql(), {"mts_petrolstation", "mts_petrolstation_historie", "mts_petrolstation_times",
                     "mts_petrolstation_times_historie", "mts_petrolstation_price"});
  text += QueryRows(t.sql(), "select station, status, ps_version from lox_station_mts") + "\n";
  for (long s = 1; s <= 5; ++s) {
    const StationEntry& e = t.db.stations[s];
    text += std::to_string(s) + ": " + std::to_string(e.hasMtsFuels) + " " +
            std::to_string(e.productE5) + "/" + std::to_string(e.productE10) + "/" +
            std::to_string(e.productDiesel) + " " + std::to_string(e.pricesChanged);
    for (size_t k = 1; k <= 8; ++k) {
      const OverrideTime& o = e.overrides[k];
      if (o.active == 1) text += " " + o.periodStart.str() + "-" + o.periodEnd.str();
    }
    text += "\n";
  }
  for (int row = 0; row < t.window.grid_rows(); ++row) {
    for (int column = 0; column < 5; ++column) text += t.window.cell(row, column) + "|";
    text += "\n";
  }
  return text;
}

TEST(DbBatchTest, StationsWrittenTogetherLeaveWhatStationByStationLeaves) {
  DbTestEnv together_env;
  long statements = 0;
  const std::string together = StationScenario(together_env, &statements);
  EXPECT_TRUE(together_env.ErrorLines().empty()) << Joined(together_env.ErrorLines());
  // Each run also records its stations as pending, and the first reads
  // what is pending.
  EXPECT_LE(statements, 2 * 25 + 4) << "two runs of a few statements each";
  EXPECT_NE(together.find("mts_petrolstation_historie: 1,9,"), std::string::npos) << together;
  EXPECT_NE(together.find(" | 3,1,1,id-1,4,<null>,Eins alt,"), std::string::npos)
      << "history rows numbered on in station order\n"
      << together;
  EXPECT_NE(together.find("mts_petrolstation_times_historie: 3,1,1,1,06:00:00,20:00:00,11111110,,"
                          " | 4,2,1,1,06:00:00,22:00:00,"),
            std::string::npos)
      << "opening times filed under their station's history row\n"
      << together;
  EXPECT_EQ(together.find("04:00:00,23:30:00"), std::string::npos)
      << "the opening times of a station without row have no history row to go under\n"
      << together;

  DbTestEnv alone_env;
  RefuseNumberedHistoryRows(alone_env.sql(), "mts_petrolstation_historie");
  const std::string alone = StationScenario(alone_env, &statements);
  EXPECT_GT(statements, 60) << "the second scenario went station by station";
  EXPECT_TRUE(alone_env.ErrorLines().empty()) << Joined(alone_env.ErrorLines());
  EXPECT_EQ(together, alone);
}

TEST(DbBatchTest, AStationRowTheServerRefusesCostsOnlyItsOwnStation) {
  DbTestEnv t;
  SeedStations(t);
  // One more version does not fit the column: the strict server refuses the row.
  Sql(t, "update lox_station_mts set ps_version = 2147483647 where station = 2");
  DB_LOXStammdaten(t.db);
  DB_Stationsdaten(t.db, kStationSyncCheck);

  // The upstream table's own version column overflows as well when the
  // run marks the stations synchronised.
  const std::vector<std::string> errors = t.ErrorLines();
  ASSERT_EQ(errors.size(), 2u) << Joined(errors);
  EXPECT_NE(errors[1].find("--> DB_Stationsdaten / 1264 / Zeile: 7 "), std::string::npos)
      << errors[1];
  EXPECT_NE(errors[1].find(" / update lox_station_mts set status = 1"), std::string::npos)
      << errors[1];
  EXPECT_NE(errors[0].find("--> DB_Stationsdaten / 1264 / Zeile: 56 "), std::string::npos)
      << errors[0];
  EXPECT_NE(errors[0].find(" values ( '2', '2', 'id-2', '2147483648', "), std::string::npos)
      << "the refused station's own statement: " << errors[0];
  EXPECT_EQ(QueryRows(t.sql(), "select station, ps_version, ps_name from mts_petrolstation"),
            "1,5,Eins | 2,7,Zwei alt | 3,2,Drei | 4,2,Vier");
  EXPECT_EQ(QueryRows(t.sql(),
                      "select station, count(*) from mts_petrolstation_times group by "
                      "station"),
            "1,1 | 2,1 | 3,2")
      << "every station's opening times, also those of the refused one";
  // The keys the rolled-back batch had given stay unused, as after any
  // insert the server rolls back.
  EXPECT_EQ(QueryRows(t.sql(),
                      "select historie_id, station from mts_petrolstation_historie "
                      "order by historie_id"),
            "1,9 | 2,2 | 5,1 | 6,2")
      << "one history copy per existing row, none left by the refused batch";
  EXPECT_EQ(QueryRows(t.sql(), "select station, status from mts_petrolstation_price"), "4,0");
}

// The server goes down while the batch waits inside the price rows: nothing
// of the batch stays, every price stays pending and is written after the
// reconnect, with one history copy per row.
TEST(DbBatchTest, AServerStoppedInTheMiddleOfThePriceBatchLosesNoPrice) {
  testing::PrivateServer server;
  testing::TestEnv t;
  DbState db(t.env);
  db.DbServer = server.Server();
  db.DbBenutzer = testing::TestDb::kUser;
  db.DbPasswort = testing::TestDb::kPassword;
  ASSERT_EQ(DB_Verbinden(db, db.DbServer), 1);
  auto other = server.Connect();
  std::string rows;
  for (long s = 1; s <= 20; ++s) {
    rows += (s == 1 ? "(" : ", (") + std::to_string(s) +
            ", 2, '1.659', '2026-12-05T10:00:00+01:00'," + " null, null, null, null)";
    StationEntry& e = db.stations[s];
    e.hasMtsFuels = 1;
    e.productE5 = 1;
    NewPrice(e.newPriceE5, e.newPriceTimeE5, " 1." + std::to_string(700 + s));
    e.pricesChanged = 1;
  }
  other->Execute("insert into mts_petrolstation_price values " + rows);
  other->Execute(
      "create trigger test_pause before insert on mts_petrolstation_price for each row "
      "if new.station = 10 then do sleep(60); end if");
  db.stammdaten.FirstStationNumber = 1;
  db.stammdaten.LastStationNumber = 20;

  std::thread stopper([&] {
    for (int i = 0; i < 300; ++i) {
      if (QueryRows(*other,
                    "select count(*) from information_schema.processlist where state = "
                    "'User sleep'") == "1") {
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    server.Stop();
  });
  DB_Preisdaten(db);
  stopper.join();

  const std::vector<std::string> errors = t.ErrorLines();
  ASSERT_EQ(errors.size(), 1u) << "one entry for the whole batch\n" << Joined(errors);
  EXPECT_NE(errors[0].find("--> DB_Preisdaten / -2147467259 / Zeile: 2 "), std::string::npos)
      << errors[0];
  EXPECT_NE(errors[0].find("insert into mts_petrolstation_price ( station, "), std::string::npos)
      << "the statement in progress: " << errors[0];
  for (long s = 1; s <= 20; ++s) EXPECT_EQ(db.stations[s].pricesChanged, 1) << "station " << s;

  server.Start();
  other = server.Connect();
  other->Execute("drop trigger test_pause");
  EXPECT_EQ(
      QueryRows(*other, "select count(*), min(ps_pricee5) from mts_petrolstation_price_historie"),
      "0,<null>")
      << "the history copies of the stopped batch were rolled back";
  ASSERT_EQ(DB_Verbinden(db, db.DbServer), 1);
  DB_Preisdaten(db);
  EXPECT_EQ(t.ErrorLines().size(), 1u) << Joined(t.ErrorLines());
  for (long s = 1; s <= 20; ++s) {
    EXPECT_EQ(QueryRows(*other, "select ps_pricee5 from mts_petrolstation_price where station = " +
                                    std::to_string(s)),
              "1." + std::to_string(700 + s));
    EXPECT_EQ(db.stations[s].pricesChanged, 0) << "station " << s;
  }
  EXPECT_EQ(QueryRows(*other,
                      "select count(*), count(distinct station), min(ps_pricee5) from "
                      "mts_petrolstation_price_historie"),
            "20,20,1.659");
}

// More values than the driver binds to one statement (32,767) go in a few
// statements of the same transaction, for the rows of every batched table.
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
  const std::vector<DbValue> prices = rows(  // 32,800 values
      4100, {"2", "1.859", "2026-12-06T09:00:00+01:00", "1.789", "2026-12-06T09:00:00+01:00",
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
  EXPECT_EQ(t.sql().statements() - before, 2 + 2 * (3 + 2 + 2 + 2))
      << "start, each statement with its look at the warnings, commit";
  EXPECT_EQ(QueryRows(t.sql(),
                      "select count(*), min(station), max(station) from "
                      "mts_petrolstation_times"),
            "10000,1,10000");
  EXPECT_EQ(QueryRows(t.sql(), "select count(*), max(ps_name) from mts_petrolstation"),
            "2400,Name");
  EXPECT_EQ(QueryRows(t.sql(), "select count(*) from mts_petrolstation_price"), "4100");
  EXPECT_EQ(QueryRows(t.sql(), "select count(*) from mts_petrolstation_override_times"), "8200");
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
  DB_LOXStammdaten(t.db);

  long before = t.sql().statements();
  EXPECT_EQ(DB_Stationsdaten(t.db, kStationSyncCheck), 1000);
  EXPECT_LT(t.sql().statements() - before, 40) << "the batch, not station by station";
  EXPECT_EQ(QueryRows(t.sql(),
                      "select count(*), count(distinct station) from "
                      "mts_petrolstation_times"),
            "6000,1000");
  t.db.stammdaten.FirstStationNumber = 1;
  t.db.stammdaten.LastStationNumber = 1000;
  before = t.sql().statements();
  DB_Preisdaten(t.db);
  EXPECT_LT(t.sql().statements() - before, 20) << "the batch, not station by station";
  EXPECT_EQ(QueryRows(t.sql(),
                      "select count(*), count(distinct station) from "
                      "mts_petrolstation_override_times"),
            "8000,1000");
  EXPECT_TRUE(t.ErrorLines().empty()) << Joined(t.ErrorLines());
}

// The history keys and the override columns under names of the operator's
// own: both steps stay on the batch and leave what they leave under the
// schema's names.
TEST(DbBatchTest, ColumnsWrittenByPositionMayBearOtherNames) {
  long statements = 0;
  std::string usual_prices;
  std::string usual_stations;
  {
    DbTestEnv prices_env;
    usual_prices = PriceScenario(prices_env, &statements);
    DbTestEnv stations_env;
    usual_stations = StationScenario(stations_env, &statements);
  }
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
  struct Restore {
    std::function<void()> back;
    ~Restore() { back(); }
  } restore{[&] { rename(prices_env.sql(), true); }};
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
  t.db.DbServer = server.Server();
  ASSERT_EQ(DB_Verbinden(t.db, t.db.DbServer), 1);
  for (const std::vector<std::string>* step : {&kStationBatchTables, &kPriceBatchTables}) {
    for (const std::string& table : *step) Sql(t, "alter table " + table + " engine = MyISAM");
  }
  Sql(t, "alter table mts_petrolstation modify ps_name varchar(25) null");
  SeedStations(t);
  Sql(t, "update lox_station set name1 = 'Zwei mit einem viel zu langen Namen' where station = 2");
  DB_LOXStammdaten(t.db);
  DB_Stationsdaten(t.db, kStationSyncCheck);

  const std::vector<std::string> errors = t.ErrorLines();
  ASSERT_EQ(errors.size(), 2u) << Joined(errors);
  EXPECT_NE(errors[0].find("DB_Stationsdaten / 0 / Stationsdaten werden Station für Station "
                           "geschrieben, Preisdaten Station für Station (Tabellen ohne "
                           "Transaktionen: mts_petrolstation (MyISAM), "),
            std::string::npos)
      << errors[0];
  EXPECT_NE(errors[1].find("--> DB_Stationsdaten / 1406 / Zeile: 56 "), std::string::npos)
      << errors[1];
  EXPECT_NE(errors[1].find(" values ( '2', '2', 'id-2', '8', "), std::string::npos)
      << "the refused station's own statement: " << errors[1];
  EXPECT_EQ(QueryRows(t.sql(), "select station, ps_name from mts_petrolstation order by station"),
            "1,Eins | 2,Zwei alt | 3,Drei | 4,Vier");
  EXPECT_EQ(QueryRows(t.sql(),
                      "select historie_id, station, ps_name from mts_petrolstation_historie "
                      "order by historie_id"),
            "1,9,<null> | 2,2,<null> | 3,1,Eins alt | 4,2,Zwei alt");
  EXPECT_EQ(QueryRows(t.sql(),
                      "select historie_id, station, satz from mts_petrolstation_times_historie "
                      "order by historie_id, satz"),
            "3,1,1 | 4,2,1 | 4,2,2");
}

// Without a strict SQL mode a multi-row insert stores a later row's NULL in
// a NOT NULL column as the column type's default, where the station's own
// statement is refused: the batch stores nothing the station's statements
// would not.
TEST(DbBatchTest, UnderTheServersOwnSqlModeTheBatchStoresWhatStationByStationStores) {
  DbTestEnv t;
  struct Restore {
    DbTestEnv& t;
    ~Restore() {
      Sql(t, "alter table mts_petrolstation modify ps_id varchar(64) null");
      Sql(t, "alter table lox_station_mts modify ps_id varchar(64) not null default ''");
    }
  } restore{t};
  Sql(t, "alter table mts_petrolstation modify ps_id varchar(64) not null");
  Sql(t, "alter table lox_station_mts modify ps_id varchar(64) null");
  Sql(t, "set session sql_mode = ''");
  SeedStations(t);
  Sql(t, "update lox_station_mts set ps_id = null where station = 3");
  Sql(t, "update lox_station set name1 = concat('Eins', repeat('-', 120)) where station = 1");
  DB_LOXStammdaten(t.db);
  DB_Stationsdaten(t.db, kStationSyncCheck);

  const std::vector<std::string> errors = t.ErrorLines();
  ASSERT_EQ(errors.size(), 1u) << Joined(errors);
  EXPECT_NE(errors[0].find("--> DB_Stationsdaten / 1048 / Zeile: 56 "), std::string::npos)
      << errors[0];
  EXPECT_EQ(QueryRows(t.sql(), "select station, ps_id, length(ps_name) from mts_petrolstation"),
            "1,id-1,100 | 2,id-2,4 | 4,id-4,4")
      << "station 3 refused as its own statement is; the long name cut as its own statement "
         "cuts it";
}

}  // namespace
}  // namespace velunor
