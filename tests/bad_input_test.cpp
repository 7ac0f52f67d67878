// Upstream rows the station management system should never write, but a
// production database does not forbid: NULL in every column that may hold
// one, texts of 10,000 characters, station numbers 0 and -5, and
// apostrophes, double quotes and backslashes in every text column. On a
// server of the test's own whose upstream columns are widened to allow them.
// At start such rows end the program cleanly with the reason in the error
// log; arriving while the service runs they are logged, and every good
// station is still reported with its current price.
#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include <gtest/gtest.h>

#include "tests/expect_text.h"
#include "tests/proof_network.h"
#include "tests/proof_rig.h"
#include "tests/proof_server.h"

namespace velunor {
namespace {

using testing::Joined;
using testing::PrivateServer;
using testing::ServiceRig;

constexpr int kGoodStations = 10;
constexpr int kNullStation = 11;
constexpr int kLongStation = 12;
constexpr int kQuoteStation = 13;
// What the quote station carries in every text column; short enough for
// the narrowest MTS-K column (the postcode, 10 characters).
const std::string kQuoted = "O'Brien\"\\";

// Widens the upstream columns so that NULLs and long texts fit, as a
// production database may have them.
void WidenUpstreamColumns(Connection& db) {
  db.Execute(
      "alter table lox_station modify name1 text null, modify name2 text null, modify matchcode "
      "text null, modify strasse text null, modify plzort text null");
  db.Execute(
      "alter table lox_station_mts modify ps_aktiv_time int null, modify ps_id text null, modify "
      "ps_version int null, modify ps_brand text null, modify ps_latitude text null, modify "
      "ps_longitude text null, modify gt_aktiv int null, modify gt_id int null");
  db.Execute("alter table lox_station_produkte modify produkt_aktiv varchar(20) null");
  db.Execute(
      "alter table lox_station_aktuelle_preise modify preis decimal(6,3) null, modify datum "
      "datetime null");
  db.Execute(
      "alter table lox_station_mts_times modify ps_time1 text null, modify ps_time2 text null, "
      "modify ps_time3 text null, modify ps_time4 text null, modify ps_time5 text null, modify "
      "ps_time6 text null, modify start_datum text null, modify end_datum text null");
}

// One station in every upstream table, every text column set to `text`
// (NULL for nullopt), with three fuels, prices and opening-time rows.
void InsertStation(Connection& db, long station, const DbValue& text, const DbValue& price) {
  const DbValue n = std::to_string(station);
  // A value the NULL station has as NULL too.
  const auto unless_null = [&](const char* value) { return text ? DbValue(value) : DbValue(); };
  db.Execute("insert into lox_station values (?, ?, ?, ?, ?, ?)",
             {n, text, text, text, text, text});
  db.Execute(
      "insert into lox_station_mts (station, status, ps_aktiv, ps_aktiv_time, ps_id, ps_version, "
      "ps_brand, ps_latitude, ps_longitude, Bundesland_ID, gt_aktiv, gt_id) "
      "values (?, 2, 1, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
      {n, unless_null("1"), text, unless_null("1"), text, text, text, unless_null("14"),
       unless_null("0"), unless_null("0")});
  for (const char* product : {"1", "2", "3"}) {
    db.Execute("insert into lox_station_produkte values (?, ?, ?, ?)",
               {n, DbValue(product), DbValue(product), unless_null("J")});
    db.Execute("insert into lox_station_aktuelle_preise values (?, ?, ?, now())",
               {n, DbValue(product), price});
  }
  for (const char* zeitraum : {"0", "1", "4"}) {
    db.Execute(
        "insert into lox_station_mts_times (station, zeitraum, ps_time1, ps_time2, ps_time3, "
        "ps_time4, ps_time5, ps_time6, start_datum, end_datum) "
        "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {n, DbValue(zeitraum), text, text, text, text, text, text, text, text});
  }
}

// The bad rows: NULLs, long texts, numbers 0 and below, quotes everywhere.
void InsertBadRows(Connection& db) {
  std::string long_text;
  for (int i = 0; i < 1000; ++i) long_text += "Straße Ä'\"\\ ";
  InsertStation(db, kNullStation, std::nullopt, std::nullopt);
  InsertStation(db, kLongStation, long_text, DbValue("1.777"));
  InsertStation(db, kQuoteStation, kQuoted, DbValue("1.888"));
  for (long station : {0L, -5L}) InsertStation(db, station, "Station außerhalb", "1.666");
}

// The stations of the network and the quote station, at their upstream prices.
testing::PriceMap GoodPrices(Connection& db) {
  testing::PriceMap all = testing::UpstreamPrices(db);
  testing::PriceMap good;
  for (int s = 1; s <= kGoodStations; ++s)
    good["st-" + std::to_string(s)] = all["st-" + std::to_string(s)];
  good[kQuoted] = all[kQuoted];
  return good;
}

class BadInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = server_.Connect();
    WidenUpstreamColumns(*db_);
    testing::SeedStationNetwork(*db_, kGoodStations);
    rig_ = std::make_unique<ServiceRig>(ServiceRig::Options{.db_server = server_.Server()});
  }

  PrivateServer server_;
  std::unique_ptr<Connection> db_;
  std::unique_ptr<ServiceRig> rig_;
};

TEST_F(BadInputTest, BadRowsAtStartEndTheStartCleanlyWithTheReasonLogged) {
  InsertBadRows(*db_);
  EXPECT_FALSE(rig_->Start());
  EXPECT_EQ(rig_->front_end().exit_code, 1);
  ASSERT_FALSE(rig_->front_end().messages.empty());
  EXPECT_EQ(rig_->front_end().messages.back(), "Fehler beim Programmstart - wird beendet");
  const std::string log = Joined(rig_->ErrorLines());
  EXPECT_TRUE(Contains(log, "Station -5 ")) << "the station outside the table is named";
  EXPECT_EQ(rig_->sim().RequestCount(), 0) << "nothing is sent after an aborted start";
}

TEST_F(BadInputTest, BadRowsWhileRunningAreLoggedAndEveryGoodStationIsStillReported) {
  ASSERT_TRUE(rig_->Start()) << Joined(rig_->front_end().messages) << Joined(rig_->ErrorLines());
  rig_->RunFirstExports();
  ASSERT_TRUE(rig_->ErrorLines().empty()) << Joined(rig_->ErrorLines());

  InsertBadRows(*db_);
  testing::ChangeAllPrices(*db_, 6);
  const testing::PriceMap expected = GoodPrices(*db_);
  const int requests = rig_->sim().RequestCount();
  // The change check finds the new stations: a station publication, then prices.
  for (int i = 0; i < 200 && rig_->sim().RequestCount() < requests + 2; ++i) rig_->Tick();
  rig_->TickUntilState(kIdle, 10);
  ASSERT_TRUE(rig_->running());
  ASSERT_EQ(rig_->sim().RequestCount(), requests + 2) << Joined(rig_->ErrorLines());

  const std::string log = Joined(rig_->ErrorLines());
  EXPECT_TRUE(Contains(log, "Station -5 "));
  EXPECT_TRUE(Contains(log, "DB_Stationsdaten"));

  // The station publication carries the quote station's texts unchanged.
  const std::string stations = rig_->sim().RequestBody(requests + 1);
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_buffer(stations.data(), stations.size())) << "well-formed XML";
  EXPECT_TRUE(Contains(stations, "<petrolStationName>O&apos;Brien&quot;\\</petrolStationName>"));
  EXPECT_FALSE(Contains(stations, "Station außerhalb")) << "stations 0 and -5 are not published";

  testing::PriceMap published = testing::PublishedPrices(rig_->LastRequest());
  EXPECT_EQ(published.count("Station außerhalb"), 0u);
  std::erase_if(published, [&](const auto& station) { return !expected.contains(station.first); });
  EXPECT_EQ(testing::PriceDifferences(expected, published), "")
      << "every good station is reported at its current price; error log:\n"
      << log;
  EXPECT_EQ(rig_->TransferLogCount(*db_, 0), 2);
  EXPECT_EQ(rig_->TransferLogCount(*db_, 1), 2);
}

}  // namespace
}  // namespace velunor
