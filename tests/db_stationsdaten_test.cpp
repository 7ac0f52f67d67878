// Station master-data synchronisation and opening-time preparation against
// the private MariaDB with the project's schema and a fixed clock.
#include <gtest/gtest.h>

#include <initializer_list>

#include "service/db/db_hand_ins.h"
#include "service/db/stationsdaten.h"
#include "service/publication/publication_hand_ins.h"
#include "service/publication/publication_state.h"
#include "service/publication/station_body.h"
#include "tests/db_test.h"
#include "tests/expect_text.h"

namespace velunor {
namespace {

class DbStationsdatenTest : public testing::DbTest {
 protected:
  void SetUp() override {
    t_.dir.Write("Velunor.CFG",
                 "CN=Test, C=DE\r\nhttps://127.0.0.1/grund\r\nhttps://127.0.0.1/preis\r\n");
    Sql("insert into stammdaten values (132, '12300000000000000000'), (133, '2026-000005'), "
        "(134, '2026-000007'), (135, 'Müller'), (491, '0')");
    Sql("insert into stammdaten_produkte values (1, 'SUP'), (2, 'E10'), (3, 'DIE')");
  }

  void AddStation(long station, const std::string& name, int status, int aktiv,
                  const std::string& strasse = "Hauptstr. 1",
                  const std::string& plzort = "01067 Dresden",
                  const DbValue& bundesland = std::string("14")) {
    const std::string s = std::to_string(station);
    Sql("insert into lox_station (station, name1, strasse, plzort) values (?, ?, ?, ?)",
        {s, name, strasse, plzort});
    Sql("insert into lox_station_mts (station, status, ps_aktiv, ps_id, ps_version, ps_brand, "
        "ps_latitude, ps_longitude, Bundesland_ID) values (?, ?, ?, ?, 4, 'Aral', '51.05', "
        "'13,74', ?)",
        {s, std::to_string(status), std::to_string(aktiv), "id-" + s, bundesland});
  }
  // Replaces the station's upstream opening times; each row is zeitraum,
  // start, end and up to six times.
  struct TimesRow {
    int zeitraum;
    DbValue start, end;
    std::vector<std::string> times;
  };
  static TimesRow Weekly(std::vector<std::string> times) {
    return {0, std::nullopt, std::nullopt, std::move(times)};
  }
  static TimesRow Specials(std::vector<std::string> times) {
    return {4, std::nullopt, std::nullopt, std::move(times)};
  }
  void SetTimes(long station, std::initializer_list<TimesRow> rows) {
    const std::string s = std::to_string(station);
    Sql("delete from lox_station_mts_times where station = " + s);
    for (const TimesRow& row : rows) {
      std::vector<DbValue> params = {s, std::to_string(row.zeitraum), row.start, row.end};
      for (size_t i = 0; i < 6; ++i) {
        params.push_back(i < row.times.size() ? DbValue(row.times[i]) : std::nullopt);
      }
      Sql("insert into lox_station_mts_times (station, zeitraum, start_datum, end_datum, "
          "ps_time1, ps_time2, ps_time3, ps_time4, ps_time5, ps_time6) "
          "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
          params);
    }
  }
  void MarkChanged(long station) {
    Sql("update lox_station_mts set status = 2 where station = " + std::to_string(station));
  }
  std::string WeeklyRecords(long station) {
    return Rows(
        "select satz, ps_typ, ps_starttime, ps_endtime, ps_wochentag, ps_starttime2, "
        "ps_endtime2 from mts_petrolstation_times where station = " +
        std::to_string(station) + " order by satz");
  }
  // The station's active override slots as "slot:closed:start-end".
  std::string Overrides(long station) {
    std::string text;
    const StationEntry& e = t_.db.stations[station];
    for (size_t k = 1; k <= 8; ++k) {
      const OverrideTime& o = e.overrides[k];
      if (o.active != 1) continue;
      for (const std::string& part : {std::string(text.empty() ? "" : " "), std::to_string(k),
                                      std::string(":"), std::to_string(o.closed), std::string(":"),
                                      o.periodStart.str(), std::string("-"), o.periodEnd.str()}) {
        text.append(part);
      }
    }
    return text;
  }
  void Load() { testing::LoadStammdaten(t_.db); }
  int Run(int mode = kStationSyncCheck) { return DB_Stationsdaten(t_.db, mode); }
  // A station publication assembled now and acknowledged by the MTS-K.
  void Acknowledge() {
    StationPublicationAssembled(t_.db);
    StationPublicationAcknowledged(t_.db, "Haupt_Timer_Timer");
  }
  void Today(int year, int month, int day) { t_.clock.Set(DateTime{year, month, day, 9, 5, 0}); }
};

TEST_F(DbStationsdatenTest, StationCountIsLearntThenEveryAddedOrRemovedRowCounts) {
  AddStation(1, "Eins", 1, 1);
  AddStation(2, "Zwei", 1, 1);
  AddStation(3, "Drei", 1, 0);
  Sql("insert into mts_petrolstation_price (station, status, ps_pricediesel_time) values "
      "(1, 2, '2024-05-01T13:45:00+02:00')");
  Load();
  t_.service.PlaceStation(0, 0, "unverändert");

  EXPECT_EQ(Run(), 0) << "the first run only learns the count";
  EXPECT_EQ(t_.db.LetzteStationsanzahl, 3);
  EXPECT_EQ(t_.window.cell(2, 0), "0 unverändert") << "mode 0 without changes leaves the grid";
  EXPECT_EQ(Run(), 0) << "a second run without changes finds nothing";

  AddStation(4, "Neu", 1, 1);
  EXPECT_EQ(Run(), 1) << "an added station row counts although no status is 2";
  EXPECT_EQ(t_.window.grid_rows(), 10);
  EXPECT_EQ(t_.window.cell(2, 0), "1 Eins");
  EXPECT_EQ(t_.window.cell(3, 0), "     2024-05-01 13:45");
  EXPECT_EQ(t_.window.cell(8, 0), "4 Neu");
  EXPECT_EQ(t_.service.row_of(4), 8);

  Sql("delete from lox_station where station in ( 2, 3 )");
  EXPECT_EQ(Run(), 2);
  EXPECT_EQ(t_.window.grid_rows(), 6);
  EXPECT_EQ(t_.window.cell(4, 0), "4 Neu");
  EXPECT_EQ(t_.service.row_of(4), 4);

  t_.service.PlaceStation(0, 0, "unverändert");
  EXPECT_EQ(Run(kStationSyncForced), 0);
  EXPECT_EQ(t_.window.cell(2, 0), "1 Eins") << "mode 1 rebuilds the grid";
  EXPECT_EQ(Rows("select station, status, ps_version from lox_station_mts order by station"),
            "1,1,4 | 2,1,4 | 3,1,4 | 4,1,4")
      << "the final update with no station changes nothing";
  EXPECT_EQ(Rows("select count(*) from mts_petrolstation"), "0");

  // Station 2 had row 4 before it left; deactivated now, it has no row to mark.
  const std::string reporting = t_.window.cell(4, 1);
  Sql("update lox_station_mts set status = 2, ps_aktiv = 0 where station = 2");
  Run();
  EXPECT_EQ(t_.window.cell(4, 1), reporting) << "station 4's row";
  EXPECT_TRUE(t_.ErrorLines().empty());
}

TEST_F(DbStationsdatenTest, ChangedStationGetsANewVersionWithHistoryAndItsTextsUnchanged) {
  const std::string name = "Müller's \"Tank\" \\ Stelle";
  AddStation(1, name, 2, 1, "Am Markt 5 b", "01067 Musterstadt", std::string("9"));
  Sql("update lox_station_mts set ps_brand = 'O''Neil\\\\Öl' where station = 1");
  SetTimes(1, {Weekly({"06:0022:0011111110"})});
  Sql("insert into lox_station_produkte values (1, 11, 1, 'J')");
  Load();
  Sql("insert into lox_station_produkte values (1, 13, 3, 'J')");

  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(Rows("select * from mts_petrolstation"),
            "1,2,id-1,5,2026-12-06T09:05:00+01:00," + name +
                ",O'Neil\\Öl,Am Markt,5 b,01067,Musterstadt,51.05,13,74,DE-BY");
  EXPECT_EQ(Rows("select status, ps_version from lox_station_mts"), "1,5")
      << "both sides hold the same version";
  EXPECT_EQ(Rows("select count(*) from mts_petrolstation_historie"), "0");
  EXPECT_EQ(Rows("select count(*) from mts_petrolstation_times_historie"), "0");
  EXPECT_EQ(t_.db.stations[1].productDiesel, 13) << "the fuel assignment runs again";
  EXPECT_EQ(WeeklyRecords(1), "1,1,06:00:00,22:00:00,11111110,,");

  Acknowledge();
  EXPECT_EQ(Run(), 0) << "synchronised and acknowledged stations are not found again";

  // A later change in summer time keeps the previous row and its times in the history.
  Sql("update lox_station set name1 = 'Neu' where station = 1");
  MarkChanged(1);
  t_.clock.Set(DateTime{2026, 12, 7, 10, 0, 0});
  t_.clock.SetZoneState(2);
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(Rows("select ps_name, ps_version, ps_version_time from mts_petrolstation"),
            "Neu,6,2026-12-07T10:00:00+02:00");
  EXPECT_EQ(Rows("select ps_version from lox_station_mts"), "6");
  const std::string key = Rows("select historie_id from mts_petrolstation_historie");
  EXPECT_EQ(Rows("select station, ps_version, ps_name from mts_petrolstation_historie"),
            "1,5," + name);
  EXPECT_EQ(Rows("select historie_id, station, satz, ps_wochentag from "
                 "mts_petrolstation_times_historie"),
            key + ",1,1,11111110");
  EXPECT_TRUE(t_.ErrorLines().empty());
}

TEST_F(DbStationsdatenTest, StationsWithoutAcknowledgementAreSentAgainAlsoAfterARestart) {
  AddStation(1, "Eins", 2, 1);
  AddStation(2, "Zwei", 1, 1);
  Load();
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(t_.dir.Read("MTS_G.pending"), "1\r\n") << "pending before the upstream status is 1";
  EXPECT_EQ(Rows("select station, status, ps_version from lox_station_mts order by station"),
            "1,1,5 | 2,1,4");

  // No acknowledgement (refused, failed or never sent): the next run marks
  // the station as changed again and synchronises it with a new version.
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(Rows("select station, ps_version from mts_petrolstation"), "1,6");
  EXPECT_EQ(Rows("select station, status, ps_version from lox_station_mts order by station"),
            "1,1,6 | 2,1,4");
  EXPECT_EQ(Rows("select ps_version from mts_petrolstation_historie"), "5");

  // A publication assembled now carries station 1; station 2 changes after
  // it: the acknowledgement delivers station 1 only.
  StationPublicationAssembled(t_.db);
  MarkChanged(2);
  EXPECT_EQ(Run(), 2);
  StationPublicationAcknowledged(t_.db, "Haupt_Timer_Timer");
  EXPECT_EQ(t_.dir.Read("MTS_G.pending"), "2\r\n");
  EXPECT_TRUE(t_.db.delivery.since.has_value());

  // A restart (a new process state on the same program directory and
  // database) still knows station 2 and sends it.
  {
    DbState restarted(t_.env);
    ASSERT_TRUE(testing::ConnectAsTestAccount(restarted, t_.db.DbServer).ok());
    testing::LoadStammdaten(restarted);
    EXPECT_EQ(DB_Stationsdaten(restarted, kStationSyncCheck), 1);
    EXPECT_EQ(restarted.delivery.pending, std::set<long>{2});
  }
  EXPECT_EQ(Rows("select station, ps_version from mts_petrolstation order by station"), "1,7 | 2,6")
      << "station 1 went out again with station 2; station 2 again after the restart";

  Acknowledge();
  EXPECT_EQ(t_.dir.Read("MTS_G.pending"), "") << "nothing pending, no file";
  EXPECT_FALSE(t_.db.delivery.since.has_value());
  EXPECT_EQ(Run(), 0) << "delivered stations are not sent again";
  EXPECT_TRUE(t_.ErrorLines().empty());
}

// A line break in an upstream text cannot forge a line of the error log.
TEST_F(DbStationsdatenTest, AControlCharacterInAStationNameStaysInItsOneLogLine) {
  const testing::OnExit restore(
      [this] { Sql("alter table mts_petrolstation modify ps_name varchar(100) null"); });
  Sql("alter table mts_petrolstation modify ps_name varchar(5) null");  // the write fails
  AddStation(1, "Nord\n12-06-2026 09:05:00 --> Gefälscht", 2, 1);
  Load();
  Run();
  const std::vector<std::string> log = t_.ErrorLines();
  ASSERT_EQ(log.size(), 1u) << testing::Joined(log);
  EXPECT_TRUE(Contains(log[0], "Nord\\n12-06-2026 09:05:00 --> Gefälscht"));
}

TEST_F(DbStationsdatenTest, AddressPartsAndFederalStateFollowTheUpstreamTexts) {
  AddStation(1, "A", 2, 1, "Hauptstr.12", "01067Musterstadt", std::string("0"));
  AddStation(2, "B", 2, 1, "Marktplatz", "79098 Freiburg", std::string("17"));
  AddStation(3, "C", 2, 1, "1. Weg 3", "10115 Berlin", std::nullopt);
  AddStation(4, "D", 2, 1, "Am 1. Mai-Platz 12 Gewerbegebiet Nord", "99084 Erfurt",
             std::string("16"));
  Load();
  EXPECT_EQ(Run(), 4);
  EXPECT_EQ(
      Rows("select station, ps_street, ps_housenumber, ps_postcode, ps_place, "
           "ps_federalstate from mts_petrolstation order by station"),
      "1,Hauptstr.,12,01067,Musterstadt, | 2,Marktplatz,,79098,Freiburg, | "
      "3,,1. Weg 3,10115,Berlin, | 4,Am,1. Mai-Platz 12 Gewerbegebiet Nord,99084,Erfurt,DE-TH");
  EXPECT_TRUE(t_.ErrorLines().empty());
}

TEST_F(DbStationsdatenTest, DeactivatedStationLeavesThePublicationAndUnhandledOnesKeepStatusTwo) {
  AddStation(1, "Aktiv", 1, 1);
  AddStation(2, "Aus", 2, 0);
  AddStation(3, "Unklar", 2, 5);
  // Station 4 exists only in the reporting table: never in the grid.
  Sql("insert into lox_station_mts (station, status, ps_aktiv, ps_version) values (4, 2, 1, 1), "
      "(5, 2, 0, 1)");
  Sql("insert into mts_petrolstation (station, status, ps_version) values (2, 2, 4)");
  Sql("insert into mts_petrolstation_price (station, status) values (2, 2)");
  Load();
  t_.db.published.StationActive[2] = 1;
  t_.db.published.StationLineLast[2] = 7;
  t_.db.stations[2].hasMtsFuels = 1;
  const std::string caption = t_.window.cell(0, 1);

  EXPECT_EQ(Run(), 2) << "two deactivated stations";
  EXPECT_EQ(Rows("select status, ps_version from mts_petrolstation"), "0,4");
  EXPECT_EQ(Rows("select status from mts_petrolstation_price"), "0");
  EXPECT_EQ(Rows("select station, status, ps_version from lox_station_mts order by station"),
            "1,1,4 | 2,1,5 | 3,2,4 | 4,2,1 | 5,1,2");
  EXPECT_EQ(t_.db.published.StationActive[2], 0);
  EXPECT_EQ(t_.db.published.StationLineLast[2], 0);
  EXPECT_EQ(t_.db.stations[2].hasMtsFuels, 0);
  EXPECT_EQ(t_.window.cell(t_.service.row_of(2), 1), "Nein");
  EXPECT_EQ(t_.window.cell(0, 1), caption) << "a station without a grid row writes no cell";
  EXPECT_TRUE(t_.ErrorLines().empty());
}

TEST_F(DbStationsdatenTest, AFailingStepIsLoggedAndTheOtherStationsAreStillSynchronised) {
  const testing::OnExit restore(
      [this] { Sql("alter table mts_petrolstation_historie drop column if exists extra"); });
  AddStation(1, "Eins", 2, 1);
  AddStation(-5, "Unter null", 2, 1);
  Sql("insert into mts_petrolstation (station, status, ps_version) values (1, 2, 4)");
  Sql("insert into mts_petrolstation_times values (1, 1, 1, '06:00:00', '22:00:00', '11111110', "
      "'', '')");
  Sql("insert into mts_petrolstation_historie (station) values (1)");  // a key of another row
  Sql("alter table mts_petrolstation_historie add column extra int");
  Load();

  EXPECT_EQ(Run(), 2);
  EXPECT_EQ(Rows("select count(*) from mts_petrolstation_times_historie"), "0")
      << "no times are filed under the key of an unrelated history row";
  EXPECT_EQ(Rows("select station, ps_version from mts_petrolstation order by station"),
            "-5,5 | 1,5");
  EXPECT_EQ(Rows("select station, status from lox_station_mts order by station"), "-5,1 | 1,1");

  int history_failures = 0, table_failures = 0;
  for (const std::string& line : t_.ErrorLines()) {
    if (!Contains(line, "--> DB_Stationsdaten / ")) continue;
    if (Contains(line, "/ Zeile: 52 ") &&
        Contains(line,
                 "/ insert into mts_petrolstation_historie select null, PS.* from "
                 "mts_petrolstation PS where station = ")) {
      ++history_failures;
    }
    if (Contains(line, " / 9 / Zeile: ")) ++table_failures;
  }
  EXPECT_EQ(history_failures, 2) << "one entry per station, with the statement in progress";
  EXPECT_GE(table_failures, 2) << "station -5 has no entry in the station table";
}

TEST_F(DbStationsdatenTest, WeeklyRecordsMergeEntriesWithTheSameDays) {
  AddStation(1, "Eins", 1, 1);
  Load();
  Run();
  auto records = [&](std::vector<std::string> entries) {
    SetTimes(1, {Weekly(entries)});
    MarkChanged(1);
    Run();
    return WeeklyRecords(1);
  };
  EXPECT_EQ(records({"06:0022:0011111000"}), "1,1,06:00:00,22:00:00,11111000,,");
  EXPECT_EQ(records({"06:0012:0011111000", "14:0020:0011111000"}),
            "1,1,06:00:00,12:00:00,11111000,14:00:00,20:00:00");
  EXPECT_EQ(records({"06:0012:0011111000", "13:0014:0011111000", "15:0020:0011111000"}),
            "1,1,06:00:00,12:00:00,11111000,15:00:00,20:00:00");
  EXPECT_EQ(records({"06:0024:0011111110", "00:0023:5911111110", "08:0018:00'0000001"}),
            "1,1,00:00:00,23:59:00,11111110,, | 2,1,08:00:00,18:00:00,'0000001,,")
      << "24:00 is skipped; an upstream quote arrives as text";
  EXPECT_EQ(records({}), "") << "no entries leave no records";
  EXPECT_TRUE(t_.ErrorLines().empty());
}

TEST_F(DbStationsdatenTest, TemporaryPeriodsTakeOverTheirDaysAlsoOverTheTurnOfTheYear) {
  AddStation(1, "Eins", 2, 1);
  // Sunday 6 December: the week is 7 to 13 December. The period covers
  // Wednesday to Friday and brings its own public-holiday times.
  SetTimes(1, {Weekly({"06:0022:0011111111"}),
               {1, "09.12.", "11.12.", {"08:0018:0011111111"}},
               {2, "", "11.12.", {"01:0002:0011111111"}},
               {3, "31.02.", "03.03.", {"01:0002:0011111111"}},
               {9, "01.01.", "31.12.", {"01:0002:0011111111"}}});
  Load();
  Run();
  EXPECT_EQ(WeeklyRecords(1),
            "1,1,06:00:00,22:00:00,11000110,, | 2,1,08:00:00,18:00:00,00111001,,");
  const auto lines = t_.ErrorLines();
  ASSERT_EQ(lines.size(), 1u) << "only the unreadable date is logged";
  EXPECT_TRUE(
      Contains(lines[0], "--> DB_Stationsdaten / 13 / Zeile: 83 Typen unverträglich: '31.02.'"));
  EXPECT_TRUE(Contains(
      lines[0], " / select * from lox_station_mts_times where station = 1 order by zeitraum"));

  // Wednesday 23 December: the week is 28 December to 3 January.
  Today(2026, 12, 23);
  SetTimes(1, {Weekly({"06:0022:0011111110"}), {1, "30.12.", "02.01.", {"10:0014:0011111110"}}});
  MarkChanged(1);
  Run();
  EXPECT_EQ(WeeklyRecords(1),
            "1,1,06:00:00,22:00:00,11000010,, | 2,1,10:00:00,14:00:00,00111100,,");
}

TEST_F(DbStationsdatenTest, AroundTheClockReplacesRecordOneAndLeavesTheSpecialPeriods) {
  AddStation(1, "Eins", 2, 1);
  SetTimes(1, {Weekly({"06:0012:0011111000", "08:0012:0000000110"}),
               Specials({"20.12.202620.12.202608:0012:0001"})});
  Load();
  Run();
  EXPECT_EQ(Overrides(1), "1:1:2026-12-20T08:00:00+01:00-2026-12-20T12:00:00+01:00");
  t_.db.stations[1].pricesChanged = 0;

  SetTimes(1, {Weekly({"00:0000:001111111 1", "06:0012:0000000001"}),
               Specials({"21.12.202621.12.202608:0012:0010"})});
  MarkChanged(1);
  Run();
  EXPECT_EQ(WeeklyRecords(1), "1,1,00:00:00,00:00:00,11111111,,");
  EXPECT_EQ(Overrides(1), "1:1:2026-12-20T08:00:00+01:00-2026-12-20T12:00:00+01:00");
  EXPECT_EQ(t_.db.stations[1].pricesChanged, 0);
}

// Opening times that cannot be read (here a table gone; under faults a lost
// connection) are one entry: the failed read, not also a missing column of
// its empty result, which would hide the cause as the last entry.
TEST_F(DbStationsdatenTest, UnreadableOpeningTimesAreOneEntryForTheFailedRead) {
  AddStation(1, "Eins", 2, 1);
  Load();
  Run();
  t_.sql().Execute("rename table mts_petrolstation_times to times_away");
  PublicationState pub;
  XML_Init(pub, t_.db);
  XML_Stationsdaten(pub, t_.db);
  t_.sql().Execute("rename table times_away to mts_petrolstation_times");
  const std::vector<std::string> log = t_.ErrorLines();
  ASSERT_EQ(log.size(), 1u) << testing::Joined(log);
  EXPECT_TRUE(Contains(log[0], "XML_Stationsdaten / "));
  EXPECT_TRUE(Contains(log[0], "mts_petrolstation_times"));
}

// A special period open until midnight on New Year's Eve reaches the price
// publication with its end at 24:00 and is stored by position; a special
// whose time is no time of day is left out with one entry naming it.
TEST_F(DbStationsdatenTest, NewYearsEveUntilMidnightIsPublishedAndAMalformedSpecialNamed) {
  AddStation(1, "Eins", 2, 1);
  SetTimes(1, {Weekly({"06:0022:0011111110"}),
               Specials({"31.12.202631.12.202618:0024:0010", "31.12.202631.12.2026ab:cd14:0010"})});
  Today(2026, 12, 10);
  Load();
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(Overrides(1), "1:0:2026-12-31T18:00:00+01:00-2026-12-31T24:00:00+01:00");
  const std::vector<std::string> log = t_.ErrorLines();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(Contains(log[0],
                       "DB_Stationsdaten / 13 / Zeile: 89 Typen unverträglich: 'ab:cd' ist keine "
                       "Uhrzeit (Station 1, Sonderzeit 2: '31.12.202631.12.2026ab:cd14:0010')"));

  PublicationState pub;
  XML_Init(pub, t_.db);
  XML_Stationsdaten(pub, t_.db);
  DB_Preisdaten(t_.db);
  EXPECT_EQ(Rows("select * from mts_petrolstation_override_times"),
            "1,1,0,2026-12-31T18:00:00+01:00,2026-12-31T24:00:00+01:00");
  XML_Preisdaten(pub, t_.db);
  XML_Out_Preise(pub, t_.db);
  EXPECT_TRUE(Contains(pub.PublicationXml,
                       "            <overrideOpen>\r\n"
                       "                <startOfPeriod>2026-12-31T18:00:00+01:00"
                       "</startOfPeriod>\r\n"
                       "                <endOfPeriod>2026-12-31T24:00:00+01:00"
                       "</endOfPeriod>\r\n"
                       "            </overrideOpen>\r\n"));
}

TEST_F(DbStationsdatenTest, SpecialPeriodsFillTheOverridesFromTodayToOneMonthAhead) {
  AddStation(1, "Eins", 2, 1);
  SetTimes(1, {Weekly({"06:0022:0011111110", "07:0014:000000000011"}),
               Specials({"09.12.202609.12.202606:0014:0010", "20.12.202621.12.202608:0012:0001",
                         "31.11.202601.12.202606:0014:0010", "10.01.202710.01.202700:0023:5910",
                         "11.01.202711.01.202700:0023:5910", ""})});
  Today(2026, 12, 10);
  Load();
  t_.db.stations[1].overrides[6].active = 1;
  Run();
  EXPECT_EQ(Overrides(1),
            "1:1:2026-12-20T08:00:00+01:00-2026-12-21T12:00:00+01:00 "
            "2:0:2027-01-10T00:00:00+01:00-2027-01-10T23:59:00+01:00 "
            "3:0:2026-12-24T07:00:00+01:00-2026-12-24T14:00:00+01:00 "
            "4:0:2026-12-31T07:00:00+01:00-2026-12-31T14:00:00+01:00");
  EXPECT_EQ(t_.db.stations[1].pricesChanged, 1);
  EXPECT_EQ(WeeklyRecords(1), "1,1,06:00:00,22:00:00,11111110,,");
  ASSERT_EQ(t_.ErrorLines().size(), 1u);
  EXPECT_TRUE(Contains(t_.ErrorLines()[0], "Zeile: 89 Typen unverträglich: '31.11.2026'"));

  Today(2026, 12, 27);
  MarkChanged(1);
  Run();
  EXPECT_EQ(Overrides(1),
            "1:0:2027-01-10T00:00:00+01:00-2027-01-10T23:59:00+01:00 "
            "2:0:2027-01-11T00:00:00+01:00-2027-01-11T23:59:00+01:00 "
            "3:0:2026-12-31T07:00:00+01:00-2026-12-31T14:00:00+01:00")
      << "after 24 December only New Year's Eve is added";
}

}  // namespace
}  // namespace velunor
