// Prices and station data written for many stations at once, against the
// private MariaDB: the tables end up as the station-by-station statements
// leave them, a row the server refuses costs only its own station, and a
// server that goes away in the middle of the batch loses no price.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "service/db/batch_write.h"
#include "service/db/connect.h"
#include "service/db/db_hand_ins.h"
#include "tests/batch_scenarios.h"
#include "tests/expect_text.h"
#include "tests/proof_server.h"
#include "tests/small_network.h"
#include "tests/test_support.h"

namespace velunor {
namespace {

using testing::DbTestEnv;
using testing::Joined;
using testing::NewPrice;
using testing::PriceScenario;
using testing::QueryRows;
using testing::RefuseNumberedHistoryRows;
using testing::SeedPrices;
using testing::SeedStations;
using testing::Sql;
using testing::StationScenario;
using testing::SyncStations;

// `scenario` written together, and again where `history` refuses the rows
// a batch numbers itself: station by station, in more than `alone` statements,
// without an error either way and to the same tables, which are returned.
// `statements`: what the first way sent.
std::string BothWays(std::string (*scenario)(DbTestEnv&, long*), const std::string& history,
                     long alone, long* statements) {
  DbTestEnv together_env;
  const std::string together = scenario(together_env, statements);
  EXPECT_TRUE(together_env.ErrorLines().empty()) << Joined(together_env.ErrorLines());
  DbTestEnv alone_env;
  RefuseNumberedHistoryRows(alone_env.sql(), history);
  long alone_statements = 0;
  EXPECT_EQ(scenario(alone_env, &alone_statements), together);
  EXPECT_GT(alone_statements, alone) << "the second scenario went station by station";
  EXPECT_TRUE(alone_env.ErrorLines().empty()) << Joined(alone_env.ErrorLines());
  return together;
}

// An operator's history key of text: its highest value never becomes part
// of a statement, whatever it holds.
TEST(DbBatchTest, TheHighestHistoryKeyGoesIntoTheStatementsOnlyAsANumber) {
  DbTestEnv t;
  const testing::OnExit restore([&] {
    Sql(t, "delete from mts_petrolstation_historie");
    Sql(t, "alter table mts_petrolstation_historie modify historie_id int not null auto_increment");
  });
  Sql(t, "alter table mts_petrolstation_historie modify historie_id varchar(40) not null");
  Sql(t, "insert into mts_petrolstation_historie (historie_id, station) values ('9 - 100', 1)");
  Sql(t, "insert into mts_petrolstation (station, status) values (1, 2)");
  const HistoryTables history = {"mts_petrolstation", "mts_petrolstation_historie",
                                 "mts_petrolstation_times", "mts_petrolstation_times_historie"};
  BatchWriter writer(t.db.db());
  const BatchTables tables = ReadBatchTables(t.db.db());
  const auto [number, text] =
      testing::FailureOf([&] { CopyHistory(writer, history, tables, "1"); });
  EXPECT_EQ(number, kErrTypeMismatch) << "a key of text was used: " << text;
  EXPECT_TRUE(Contains(text, "'9 - 100' von mts_petrolstation_historie ist keine Ganzzahl"));
  EXPECT_EQ(t.Rows("select count(*) from mts_petrolstation_historie"), "1");
}

TEST(DbBatchTest, PricesWrittenTogetherLeaveWhatStationByStationLeaves) {
  long statements = 0;
  const std::string together =
      BothWays(PriceScenario, "mts_petrolstation_price_historie", 30, &statements);
  // The first batch of the connection reads the tables' engines; every
  // multi-row insert is followed by a look at the server's warnings.
  EXPECT_LE(statements, 1 + 2 * 10) << "two runs of a handful of statements each";
  EXPECT_TRUE(Contains(together, "3,2,1.839,2026-12-06T09:00:00+01:00,0.0,,0.0,<null>"))
      << "a new row: 0.0 and an empty time for a fuel without price, NULL time for one not "
         "sold";
  EXPECT_TRUE(
      Contains(together, "2,2,1.849,2026-12-06T09:00:00+01:00,0.0,2026-12-05T11:00:00+01:00,"))
      << "a fuel not sold: price 0.0, its time kept";
  EXPECT_TRUE(Contains(together, "5,4,2,1.879,")) << "history rows numbered on in station order";
  EXPECT_FALSE(Contains(together, "2026-12-27T06:00:00"))
      << "the override rows of a station without price row have no history row to go under";
}

TEST(DbBatchTest, APriceRowTheServerRefusesCostsOnlyItsOwnStation) {
  DbTestEnv t;
  const testing::OnExit restore(
      [&] { Sql(t, "alter table mts_petrolstation_price modify ps_pricee5 varchar(10) null"); });
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
  EXPECT_TRUE(Contains(errors[0], "--> DB_Preisdaten / 1406 / Zeile: 5 "));
  EXPECT_TRUE(Contains(errors[0], " values ( '4', '2', '10.499', "))
      << "the refused station's own statement";
  EXPECT_EQ(t.Rows("select station, ps_pricee5 from mts_petrolstation_price order by station"),
            "1,1.501 | 2,1.502 | 3,1.503 | 4,1.879 | 5,1.505 | 6,1.506 | 7,1.909");
  EXPECT_EQ(t.Rows("select station, count(*) from mts_petrolstation_price_historie where "
                   "historie_id > 2 group by station order by station"),
            "1,1 | 2,1 | 4,1 | 5,1 | 6,1")
      << "one history copy per existing row, none left by the refused batch";
  for (long s = 1; s <= 6; ++s) {
    EXPECT_EQ(st[s].pricesChanged, s == 4 ? 1 : 0) << "station " << s;
  }
}

TEST(DbBatchTest, StationsWrittenTogetherLeaveWhatStationByStationLeaves) {
  long statements = 0;
  const std::string together =
      BothWays(StationScenario, "mts_petrolstation_historie", 60, &statements);
  // Each run also records its stations as pending, and the first reads
  // what is pending.
  EXPECT_LE(statements, 2 * 25 + 4) << "two runs of a few statements each";
  EXPECT_TRUE(Contains(together, "mts_petrolstation_historie: 1,9,"));
  EXPECT_TRUE(Contains(together, " | 3,1,1,id-1,4,<null>,Eins alt,"))
      << "history rows numbered on in station order";
  EXPECT_TRUE(Contains(together,
                       "mts_petrolstation_times_historie: 3,1,1,1,06:00:00,20:00:00,11111110,,"
                       " | 4,2,1,1,06:00:00,22:00:00,"))
      << "opening times filed under their station's history row";
  EXPECT_FALSE(Contains(together, "04:00:00,23:30:00"))
      << "the opening times of a station without row have no history row to go under";
}

TEST(DbBatchTest, AStationRowTheServerRefusesCostsOnlyItsOwnStation) {
  DbTestEnv t;
  SeedStations(t);
  // One more version does not fit the column: the strict server refuses the row.
  Sql(t, "update lox_station_mts set ps_version = 2147483647 where station = 2");
  // The upstream table's own version column overflows as well when the
  // run marks the stations synchronised.
  const std::vector<std::string> errors = SyncStations(t);
  ASSERT_EQ(errors.size(), 2u) << Joined(errors);
  EXPECT_TRUE(Contains(errors[1], "--> DB_Stationsdaten / 1264 / Zeile: 7 "));
  EXPECT_TRUE(Contains(errors[1], " / update lox_station_mts set status = 1"));
  EXPECT_TRUE(Contains(errors[0], "--> DB_Stationsdaten / 1264 / Zeile: 56 "));
  EXPECT_TRUE(Contains(errors[0], " values ( '2', '2', 'id-2', '2147483648', "))
      << "the refused station's own statement";
  EXPECT_EQ(t.Rows("select station, ps_version, ps_name from mts_petrolstation"),
            "1,5,Eins | 2,7,Zwei alt | 3,2,Drei | 4,2,Vier");
  EXPECT_EQ(t.Rows("select station, count(*) from mts_petrolstation_times group by station"),
            "1,1 | 2,1 | 3,2")
      << "every station's opening times, also those of the refused one";
  // The keys the rolled-back batch had given stay unused, as after any
  // insert the server rolls back.
  EXPECT_EQ(
      t.Rows("select historie_id, station from mts_petrolstation_historie order by historie_id"),
      "1,9 | 2,2 | 5,1 | 6,2")
      << "one history copy per existing row, none left by the refused batch";
  EXPECT_EQ(t.Rows("select station, status from mts_petrolstation_price"), "4,0");
}

// The server goes down while the batch waits inside the price rows: nothing
// of the batch stays, every price stays pending and is written after the
// reconnect, with one history copy per row.
TEST(DbBatchTest, AServerStoppedInTheMiddleOfThePriceBatchLosesNoPrice) {
  testing::PrivateServer server;
  testing::TestEnv t;
  DbState db(t.env);
  ASSERT_TRUE(testing::ConnectAsTestAccount(db, server.Server()).ok());
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
  EXPECT_TRUE(Contains(errors[0], "--> DB_Preisdaten / -2147467259 / Zeile: 2 "));
  EXPECT_TRUE(Contains(errors[0], "insert into mts_petrolstation_price ( station, "))
      << "the statement in progress";
  for (long s = 1; s <= 20; ++s) EXPECT_EQ(db.stations[s].pricesChanged, 1) << "station " << s;

  server.Start();
  other = server.Connect();
  other->Execute("drop trigger test_pause");
  EXPECT_EQ(
      QueryRows(*other, "select count(*), min(ps_pricee5) from mts_petrolstation_price_historie"),
      "0,<null>")
      << "the history copies of the stopped batch were rolled back";
  ASSERT_TRUE(DB_Verbinden(db, db.DbServer).ok());
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

}  // namespace
}  // namespace velunor
