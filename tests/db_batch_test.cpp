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
#include "service/db/preisdaten.h"
#include "service/db/stationsdaten.h"
#include "service/db/verbindung.h"
#include "tests/batch_scenarios.h"
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

// An operator's history key of text: its highest value never becomes part
// of a statement, whatever it holds.
TEST(DbBatchTest, TheHighestHistoryKeyGoesIntoTheStatementsOnlyAsANumber) {
  DbTestEnv t;
  const testing::OnExit restore([&] {
    t.sql().Execute("delete from mts_petrolstation_historie");
    t.sql().Execute(
        "alter table mts_petrolstation_historie modify historie_id int not null "
        "auto_increment");
  });
  t.sql().Execute("alter table mts_petrolstation_historie modify historie_id varchar(40) not null");
  t.sql().Execute(
      "insert into mts_petrolstation_historie (historie_id, station) values "
      "('9 - 100', 1)");
  t.sql().Execute("insert into mts_petrolstation (station, status) values (1, 2)");
  const HistoryTables history = {"mts_petrolstation", "mts_petrolstation_historie",
                                 "mts_petrolstation_times", "mts_petrolstation_times_historie"};
  BatchWriter writer(t.db.db());
  const BatchTables tables = ReadBatchTables(t.db.db());
  try {
    CopyHistory(writer, history, tables, "1");
    ADD_FAILURE() << "a key of text was used";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), kErrTypeMismatch);
    EXPECT_NE(f.description().find("'9 - 100' von mts_petrolstation_historie ist keine Ganzzahl"),
              std::string::npos)
        << f.description();
  }
  EXPECT_EQ(QueryRows(t.sql(), "select count(*) from mts_petrolstation_historie"), "1");
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
  testing::LoadStammdaten(t.db);
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

}  // namespace
}  // namespace velunor
