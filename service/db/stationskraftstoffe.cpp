#include "service/db/stationskraftstoffe.h"

#include "service/common/procedure.h"
#include "service/db/db_values.h"
#include "service/db/fuels.h"

namespace velunor {

std::string GridTimeText(const std::string& time) {
  return "     " + ReplaceAll(time.substr(0, 16), "T", " ");
}

void DB_Get_MTS_Stationskraftstoffe(DbState& state, long station, const std::string& product_list) {
  Procedure p(state.env.log, "DB_Get_MTS_Stationskraftstoffe");
  StationTable& table = state.stations;
  WindowModel& grid = state.env.window;
  const MasterData& m = state.stammdaten;
  const std::string s = std::to_string(station);

  p.Run([&] {
    StationEntry& e = table[station];
    e.hasMtsFuels = e.activeTime = e.productE5 = e.productE10 = e.productDiesel = 0;
  });

  std::string sql =
      "select PS.zentrale_produktnummer, PS.station_produktnummer, MT.ps_aktiv_time from "
      "lox_station_produkte PS, lox_station_mts MT "
      "where PS.station = " +
      s +
      " and PS.station = MT.station and MT.ps_aktiv = 1 "
      "and PS.produkt_aktiv = 'J' and PS.zentrale_produktnummer in ( " +
      product_list + " )";
  ResultSet products;
  p.With(sql).Run([&] { products = state.db().Query(sql); });
  // Each assignment is a step of its own: a NULL ps_aktiv_time costs the
  // station its price times, not its fuels.
  for (size_t r = 0; r < products.RecordCount(); ++r) {
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

  bool has_fuels = false;
  int row = 0;
  p.Run([&] {
    const StationEntry& e = table[station];
    has_fuels = e.hasMtsFuels != 0;
    row = e.gridRow;
    grid.SetCell(row, 1, has_fuels ? "J" : "N");
  });
  if (!has_fuels) return;

  sql = "select * from mts_petrolstation_price where station = " + s;
  ResultSet stored;
  p.With(sql).Run([&] { stored = state.db().Query(sql); });
  const bool has_record = stored.RecordCount() > 0;
  for (const Fuel& fuel : kFuels) {
    int32_t product = 0;
    if (!p.Run([&] { product = table[station].*fuel.product; })) continue;
    if (product == 0) {
      p.Run([&] { grid.SetCell(row, CodeOf(fuel).grid_column, "----"); });
      continue;
    }
    p.Run([&] { grid.SetCell(row, CodeOf(fuel).grid_column, std::to_string(product)); });
    if (!has_record) continue;
    // The row is the service's own: a NULL price or time (written by an
    // earlier version for a fuel without upstream price) is "no price",
    // never a failure that would end every later start. Price and time are
    // steps of their own.
    p.Run([&] {
      std::string price = stored.Text(0, fuel.priceColumn);
      table[station].*fuel.price = Dezimal(price, 3, 6);
    });
    p.Run([&] { table[station].*fuel.priceTime = Trim(stored.Text(0, fuel.timeColumn)); });
    if (fuel.product == &StationEntry::productDiesel) {
      p.Run(
          [&] { grid.SetCell(row + 1, 0, GridTimeText((table[station].*fuel.priceTime).str())); });
    }
    p.Run([&] {
      grid.SetCell(row + 1, CodeOf(fuel).grid_column,
                   (table[station].*fuel.price).Trimmed() + " €");
    });
  }
}

}  // namespace velunor
