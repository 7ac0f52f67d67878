#include "tests/batch_scenarios.h"

#include <initializer_list>

#include "service/db/batch_write.h"
#include "service/db/db_hand_ins.h"
#include "service/db/stationsdaten.h"
#include "tests/small_network.h"

namespace velunor::testing {

void RefuseNumberedHistoryRows(Connection& db, const std::string& table) {
  db.Execute("create trigger test_one_by_one_" + table + " before insert on " + table +
             " for each row if new.historie_id <> 0 then signal sqlstate '45000' set "
             "message_text = 'numbered by the statement'; end if");
}

static std::string Dump(Connection& db, std::initializer_list<const char*> tables) {
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

void NewPrice(PriceText& price, TimeText& time, const std::string& value) {
  price = value;
  time = "2026-12-06T09:00:00+01:00";
}

void Sql(DbTestEnv& t, const std::string& sql) { t.sql().Execute(sql); }

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

std::string PriceScenario(DbTestEnv& t, long* statements) {
  SeedPrices(t);
  StationTable& st = t.db.stations;
  NewPrice(st[1].newPriceE10, st[1].newPriceTimeE10, " 1.799");
  NewPrice(st[2].newPriceE5, st[2].newPriceTimeE5, " 1.849");
  NewPrice(st[3].newPriceE5, st[3].newPriceTimeE5, " 1.839");
  st[4].overrides[1] = OverridePeriod(0, "2026-12-31T06:00:00+01:00", "2026-12-31T14:00:00+01:00");
  st[4].overrides[3] = OverridePeriod(1, "2027-01-01T00:00:00+01:00", "2027-01-01T23:59:00+01:00");
  st[5].overrides[1] = OverridePeriod(0, "2026-12-31T06:00:00+01:00", "2026-12-31T14:00:00+01:00");
  st[5].overrideRowsKnown = true;
  st[5].overrideRowsWritten = {
      "insert into mts_petrolstation_override_times values( 5, 1 , 0, "
      "'2026-12-31T06:00:00+01:00', '2026-12-31T14:00:00+01:00' )"};
  NewPrice(st[5].newPriceDiesel, st[5].newPriceTimeDiesel, " 1.599");
  for (long s = 1; s <= 6; ++s) st[s].pricesChanged = 1;
  const long before = t.sql().statements();
  DB_Preisdaten(t.db);

  NewPrice(st[1].newPriceE5, st[1].newPriceTimeE5, " 1.819");
  st[4].overrides[2] = OverridePeriod(1, "2026-12-26T00:00:00+01:00", "2026-12-26T12:00:00+01:00");
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

std::vector<std::string> SyncStations(DbTestEnv& t) {
  LoadStammdaten(t.db);
  DB_Stationsdaten(t.db, kStationSyncCheck);
  return t.ErrorLines();
}

std::string StationScenario(DbTestEnv& t, long* statements) {
  SeedStations(t);
  LoadStammdaten(t.db);
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
  text += t.Rows("select station, status, ps_version from lox_station_mts") + "\n";
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

}  // namespace velunor::testing
