#include "tests/proof_network.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include <pugixml.hpp>

#include "tests/test_support.h"

namespace velunor::testing {

namespace {

// Rows are sent in blocks so that no statement grows beyond the server's packet limit.
constexpr int kBlock = 250;

// Runs `head` followed by the comma-joined rows of stations 1..shape.stations
// that `row` makes from the station's number (as text) and its index.
template <class Row>
void InsertRows(Connection& db, const std::string& head, const NetworkShape& shape, Row row) {
  for (int first = 1; first <= shape.stations; first += kBlock) {
    std::string sql = head;
    const int last = std::min(shape.stations, first + kBlock - 1);
    for (int i = first; i <= last; ++i) {
      sql += (i == first ? "" : ", ") + row(std::to_string(i * shape.spacing), i);
    }
    db.Execute(sql);
  }
}

const char* LocalName(const pugi::xml_node& node) {
  const char* name = node.name();
  const char* colon = std::strrchr(name, ':');
  return colon != nullptr ? colon + 1 : name;
}

pugi::xml_node Child(const pugi::xml_node& parent, const char* local) {
  for (const pugi::xml_node& child : parent.children()) {
    if (child.type() == pugi::node_element && std::strcmp(LocalName(child), local) == 0) {
      return child;
    }
  }
  return {};
}

std::string PriceOf(const pugi::xml_node& info, const char* fuel) {
  return Child(Child(info, fuel), "price").text().get();
}

void Collect(const pugi::xml_node& node, PriceMap& prices, int& publications) {
  for (const pugi::xml_node& child : node.children()) {
    if (child.type() != pugi::node_element) continue;
    const char* local = LocalName(child);
    if (std::strcmp(local, "payloadPublication") == 0 &&
        std::strcmp(child.attribute("xsi:type").value(), "FuelPricePublication") == 0) {
      ++publications;
    }
    if (std::strcmp(local, "petrolStationInformation") == 0) {
      const std::string id = Child(child, "petrolStationReference").attribute("id").value();
      prices[id] = {PriceOf(child, "fuelPriceE5"), PriceOf(child, "fuelPriceE10"),
                    PriceOf(child, "fuelPriceDiesel")};
      continue;
    }
    Collect(child, prices, publications);
  }
}

}  // namespace

std::unique_ptr<Connection> ConnectToSeededNetwork(int stations) {
  auto db = TestDb::Connect();
  TestDb::Reset(*db);
  SeedStationNetwork(*db, stations);
  return db;
}

void SeedStationNetwork(Connection& db, const NetworkShape& shape) {
  db.Execute(
      "insert into stammdaten values (132, '12300000000000000000'), (135, 'Prüf & Last GmbH'), "
      "(491, '0') on duplicate key update value = values(value)");
  db.Execute("insert into stammdaten_produkte values (1, 'SUP'), (2, 'E10'), (3, 'DIE')");
  InsertRows(db, "insert into lox_station (station, name1, strasse, plzort) values ", shape,
             [](const std::string& n, int) {
               return "(" + n + ", 'Station " + n + "', 'Hauptstraße " + n + "', '01067 Dresden')";
             });
  InsertRows(db,
             "insert into lox_station_mts (station, status, ps_aktiv, ps_aktiv_time, ps_id, "
             "ps_version, ps_brand, ps_latitude, ps_longitude, Bundesland_ID) values ",
             shape, [](const std::string& n, int s) {
               return "(" + n + ", 2, 1, 1, 'st-" + n + "', 1, 'Prüf', '51.0504', '13.7373', " +
                      std::to_string(s % 16 + 1) + ")";
             });
  InsertRows(db, "insert into lox_station_produkte values ", shape, [](const std::string& n, int) {
    return "(" + n + ", 1, 1, 'J'), (" + n + ", 2, 2, 'J'), (" + n + ", 3, 3, 'J')";
  });
  InsertRows(db, "insert into lox_station_aktuelle_preise values ", shape,
             [](const std::string& n, int s) {
               const std::string base = std::to_string(s % 200);
               return "(" + n + ", 1, 1.700 + " + base + " / 1000, now() - interval 1 hour), (" +
                      n + ", 2, 1.650 + " + base + " / 1000, now() - interval 1 hour), (" + n +
                      ", 3, 1.550 + " + base + " / 1000, now() - interval 1 hour)";
             });
  if (shape.six_weekly_records) {
    InsertRows(db,
               "insert into lox_station_mts_times (station, zeitraum, ps_time1, ps_time2, "
               "ps_time3, ps_time4, ps_time5, ps_time6) values ",
               shape, [](const std::string& n, int) {
                 return "(" + n +
                        ", 0, '06:0022:0010000000', '06:0022:0001000000', '06:0022:0000100000', "
                        "'06:0021:0000010000', '06:0021:0000001000', '08:0020:0000000111')";
               });
    return;
  }
  InsertRows(db,
             "insert into lox_station_mts_times (station, zeitraum, ps_time1, ps_time2) values ",
             shape, [](const std::string& n, int) {
               return "(" + n + ", 0, '06:0022:001111100011', '08:0020:000000011100')";
             });
}

PriceMap ChangeAllPrices(Connection& db, int thousandths) {
  db.Execute("update lox_station_aktuelle_preise set preis = preis + " +
             std::to_string(thousandths) + " / 1000, datum = now()");
  return UpstreamPrices(db);
}

namespace {

// Each row of `sql` by its station's ps_id, its prices as `take` reads them.
PriceMap PricesByStation(Connection& db, const char* sql,
                         void (*take)(const ResultSet&, size_t, StationPrices&)) {
  const ResultSet rows = db.Query(sql);
  PriceMap prices;
  for (size_t r = 0; r < rows.RecordCount(); ++r) take(rows, r, prices[rows.Text(r, "ps_id")]);
  return prices;
}

// One row a fuel.
void TakeUpstream(const ResultSet& rows, size_t r, StationPrices& p) {
  const int product = std::stoi(rows.Text(r, "produkt"));
  (product == 1 ? p.e5 : product == 2 ? p.e10 : p.diesel) = rows.Text(r, "preis");
}

// One row a station.
void TakeStored(const ResultSet& rows, size_t r, StationPrices& p) {
  p = {rows.Text(r, "ps_pricee5"), rows.Text(r, "ps_pricee10"), rows.Text(r, "ps_pricediesel")};
}

}  // namespace

PriceMap UpstreamPrices(Connection& db) {
  return PricesByStation(db,
                         "select MTS.ps_id, P.produkt, P.preis from lox_station_aktuelle_preise "
                         "P join lox_station_mts MTS on MTS.station = P.station where "
                         "MTS.ps_aktiv = 1 and P.produkt in (1, 2, 3)",
                         TakeUpstream);
}

PriceMap StoredPrices(Connection& db) {
  return PricesByStation(db,
                         "select MTS.ps_id, MP.ps_pricee5, MP.ps_pricee10, MP.ps_pricediesel "
                         "from mts_petrolstation_price MP join lox_station_mts MTS on "
                         "MTS.station = MP.station where MTS.ps_aktiv = 1",
                         TakeStored);
}

PriceMap PublishedPrices(const std::string& xml) {
  pugi::xml_document doc;
  if (!doc.load_buffer(xml.data(), xml.size())) {
    throw std::runtime_error("the publication is not well-formed XML");
  }
  PriceMap prices;
  int publications = 0;
  Collect(doc, prices, publications);
  if (publications != 1) throw std::runtime_error("not one price publication");
  return prices;
}

std::string PriceDifferences(const PriceMap& expected, const PriceMap& actual) {
  std::string text;
  int found = 0;
  auto add = [&](const std::string& line) {
    if (++found <= 5) text += (text.empty() ? "" : ", ") + line;
  };
  for (const auto& [id, want] : expected) {
    const auto it = actual.find(id);
    if (it == actual.end()) {
      add(id + " missing");
    } else if (!(it->second == want)) {
      add(id + " " + it->second.e5 + "/" + it->second.e10 + "/" + it->second.diesel +
          " instead of " + want.e5 + "/" + want.e10 + "/" + want.diesel);
    }
  }
  for (const auto& [id, got] : actual) {
    if (expected.count(id) == 0) add(id + " reported but not expected");
  }
  if (found > 5) text += " and " + std::to_string(found - 5) + " more";
  return text;
}

}  // namespace velunor::testing
