#include "service/db/stationskraftstoffe.h"

#include <map>

#include "service/common/procedure.h"
#include "service/db/db_values.h"
#include "service/db/fuels.h"
#include "service/db/sql_statement.h"

namespace velunor {

namespace {

// The active products of the stations `where` selects, in station and product order.
std::string ProductsStatement(const std::string& where, const std::string& product_list) {
  return "select PS.station, PS.zentrale_produktnummer, PS.station_produktnummer, "
         "MT.ps_aktiv_time from lox_station_produkte PS, lox_station_mts MT "
         "where PS.station " +
         where +
         " and PS.station = MT.station and MT.ps_aktiv = 1 "
         "and PS.produkt_aktiv = 'J' and PS.zentrale_produktnummer in ( " +
         product_list + " ) order by PS.station, PS.station_produktnummer";
}

std::string StoredPricesStatement(const std::string& where) {
  return "select * from mts_petrolstation_price where station " + where;
}

// The rows of `rows` by the station in column `column`, in their order.
std::map<long, std::vector<size_t>> RowsByStation(Procedure& p, const ResultSet& rows,
                                                  const char* column) {
  std::map<long, std::vector<size_t>> by_station;
  for (size_t r = 0; r < rows.RecordCount(); ++r) {
    p.Run([&] { by_station[DbLong(rows.Value(r, column))].push_back(r); });
  }
  return by_station;
}

// The fuels of one station from its product rows. Each assignment is a step
// of its own: a NULL ps_aktiv_time costs the station its price times, not its fuels.
void AssignFuels(const StationFuelsRead& read, Procedure& p, long station,
                 const ResultSet& products, const std::vector<size_t>& rows) {
  StationTable& table = read.stations;
  const MasterData& m = read.master;
  for (size_t r : rows) {
    p.Run([&] { table[station].hasMtsFuels = 1; });
    p.Run([&] {
      table[station].activeTime = static_cast<int32_t>(DbLong(products.Value(r, "ps_aktiv_time")));
    });
    p.Run([&] {
      StationEntry& e = table[station];
      const long z = DbLong(products.Value(r, "zentrale_produktnummer"));
      const auto product = static_cast<int32_t>(DbLong(products.Value(r, "station_produktnummer")));
      // The first fuel whose central product it is; a product of none is ignored.
      for (const Fuel& fuel : kFuels) {
        if (z == m.*CodeOf(fuel).central_product) {
          e.*fuel.product = product;
          break;
        }
      }
    });
  }
}

// The grid cells of a station with fuels, and its stored prices from row
// `stored_row` of `stored` (none when nullptr).
void ShowStoredPrices(const StationFuelsRead& read, Procedure& p, long station,
                      const ResultSet& stored, const size_t* stored_row) {
  StationTable& table = read.stations;
  ServiceState& grid = read.facts;
  for (const Fuel& fuel : kFuels) {
    int32_t product = 0;
    if (!p.Run([&] { product = table[station].*fuel.product; })) continue;
    p.Run([&] { grid.SetProduct(station, fuel.code, product); });
    if (product == 0) continue;
    if (stored_row == nullptr) continue;
    // The row is the service's own: a NULL price or time (written by an
    // earlier version for a fuel without upstream price) is "no price",
    // never a failure that would end every later start. Price and time are
    // steps of their own.
    p.Run([&] {
      std::string price = stored.Text(*stored_row, fuel.priceColumn);
      table[station].*fuel.price = Dezimal(price, 3, 6);
    });
    p.Run(
        [&] { table[station].*fuel.priceTime = Trim(stored.Text(*stored_row, fuel.timeColumn)); });
    if (fuel.time_in_grid) {
      p.Run([&] { grid.SetPriceTime(station, (table[station].*fuel.priceTime).str()); });
    }
    p.Run([&] { grid.SetPrice(station, fuel.code, (table[station].*fuel.price).Trimmed()); });
  }
}

}  // namespace

void DB_Get_MTS_Stationskraftstoffe(const StationFuelsRead& read, const std::vector<long>& stations,
                                    const std::string& product_list) {
  Procedure p(read.log, "DB_Get_MTS_Stationskraftstoffe");
  if (stations.empty()) return;
  StationTable& table = read.stations;
  ServiceState& grid = read.facts;
  const std::string all = "in ( " + KeyList(stations) + " )";
  auto alone = [](long station) { return "= " + std::to_string(station); };

  for (long station : stations) {
    p.Run([&] {
      StationEntry& e = table[station];
      e.hasMtsFuels = e.activeTime = 0;
      for (const Fuel& fuel : kFuels) e.*fuel.product = 0;
    });
  }

  std::string sql = ProductsStatement(all, product_list);
  ResultSet products;
  p.With(sql).Run([&] { products = Connected(read.db).Query(sql); });
  const std::map<long, std::vector<size_t>> product_rows = RowsByStation(p, products, "station");

  std::vector<long> with_fuels;
  for (long station : stations) {
    p.With(ProductsStatement(alone(station), product_list));
    const auto rows = product_rows.find(station);
    if (rows != product_rows.end()) AssignFuels(read, p, station, products, rows->second);
    p.Run([&] {
      const StationEntry& e = table[station];
      grid.SetReporting(station, e.hasMtsFuels != 0 ? Reporting::kYes : Reporting::kNo);
      if (e.hasMtsFuels != 0) with_fuels.push_back(station);
    });
  }
  if (with_fuels.empty()) return;

  sql = StoredPricesStatement("in ( " + KeyList(with_fuels) + " )");
  ResultSet stored;
  p.With(sql).Run([&] { stored = Connected(read.db).Query(sql); });
  const std::map<long, std::vector<size_t>> stored_rows = RowsByStation(p, stored, "station");
  for (long station : with_fuels) {
    p.With(StoredPricesStatement(alone(station)));
    const auto found = stored_rows.find(station);
    ShowStoredPrices(read, p, station, stored,
                     found == stored_rows.end() ? nullptr : &found->second.front());
  }
}

}  // namespace velunor
