#include "tests/small_network.h"

#include <stdexcept>

namespace velunor::testing {

std::string InitialPrice(int station, int central_product) {
  static const char* const kPrices[3][4] = {{"1.759", "1.699", "1.589", ""},
                                            {"1.769", "1.709", "1.599", "0.899"},
                                            {"1.779", "1.719", "1.609", ""}};
  if (station < 1 || station > 3 || central_product < 1 || central_product > 4) {
    throw std::out_of_range("no such product in the test network");
  }
  return kPrices[station - 1][central_product - 1];
}

void InsertStationNetwork(Connection& db) {
  db.Execute(
      "insert into stammdaten (id, value) values (132, '12340000000000000000'), "
      "(133, '2026-5'), (134, '2026-7'), (135, 'Müller Tankstellen'), (491, '0') "
      "on duplicate key update value = values(value)");
  db.Execute(
      "insert into stammdaten_produkte values (1, 'SUP'), (2, 'E10'), (3, 'DIE'), (4, 'LPG')");
  db.Execute(
      "insert into lox_station (station, name1, strasse, plzort) values "
      "(1, 'Tankstelle Müller', 'Hauptstraße 12', '70173 Stuttgart'), "
      "(2, 'Autohof Göppingen', 'Stuttgarter Str. 150a', '73033 Göppingen'), "
      "(3, 'Station Ölmühle', 'An der Ölmühle 3', '80331 München')");
  db.Execute(
      "insert into lox_station_mts (station, status, ps_aktiv, ps_id, ps_version, ps_brand, "
      "ps_latitude, ps_longitude, Bundesland_ID, gt_aktiv, gt_id) values "
      "(1, 2, 1, 'id-0001', 3, 'Quillon', '48.7758', '9.1829', 8, 0, 0), "
      "(2, 2, 1, 'id-0002', 1, 'Quillon', '48.7031', '9.6520', 8, 1, 4711), "
      "(3, 1, 0, 'id-0003', 7, 'Quillon', '48.1372', '11.5756', 9, 0, 0)");
  db.Execute(
      "insert into lox_station_mts_times (station, zeitraum, ps_time1, ps_time2, ps_time3, "
      "ps_time4, ps_time5, ps_time6) values "
      "(1, 0, '06:0022:001111111100', '', '', '', '', ''), "
      "(2, 0, '00:0000:001111111111', '', '', '', '', ''), "
      "(3, 0, '06:0022:001111111100', '', '', '', '', '')");
  for (int station = 1; station <= 3; ++station) {
    for (int product = 1; product <= 4; ++product) {
      const std::string price = InitialPrice(station, product);
      if (price.empty()) continue;
      const std::string own = std::to_string(10 * station + product);
      db.Execute(
          "insert into lox_station_produkte (station, station_produktnummer, "
          "zentrale_produktnummer) values (?, ?, ?)",
          {std::to_string(station), own, std::to_string(product)});
      db.Execute("insert into lox_station_aktuelle_preise values (?, ?, ?, '2026-12-06 08:00:00')",
                 {std::to_string(station), own, price});
    }
  }
}

void SetUpstreamPrice(Connection& db, int station, int central_product, const std::string& price,
                      const std::string& datum) {
  db.Execute(
      "update lox_station_aktuelle_preise set preis = ?, datum = ? where station = ? and "
      "produkt = ?",
      {price, datum, std::to_string(station), std::to_string(10 * station + central_product)});
}

std::string QueryRows(Connection& db, const std::string& sql) {
  const ResultSet rs = db.Query(sql);
  std::string text;
  for (size_t r = 0; r < rs.RecordCount(); ++r) {
    text += r == 0 ? "" : " | ";
    for (size_t c = 0; c < rs.ColumnCount(); ++c) {
      const DbValue& v = rs.ValueAt(r, c);
      text += (c == 0 ? "" : ",") + (v ? *v : "<null>");
    }
  }
  return text;
}

std::string StoredPrice(Connection& db, int station, const std::string& columns) {
  return QueryRows(db, "select " + columns + " from mts_petrolstation_price where station = " +
                           std::to_string(station));
}

}  // namespace velunor::testing
