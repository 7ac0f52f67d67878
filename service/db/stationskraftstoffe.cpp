#include "service/db/stationskraftstoffe.h"

#include "service/common/procedure.h"
#include "service/db/db_values.h"

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
  for (size_t r = 0; r < products.RecordCount(); ++r) {
    p.Run([&] {
      StationEntry& e = table[station];
      e.hasMtsFuels = 1;
      e.activeTime = static_cast<int32_t>(DbLong(products.Value(r, "ps_aktiv_time")));
      const long z = DbLong(products.Value(r, "zentrale_produktnummer"));
      const auto product = static_cast<int32_t>(DbLong(products.Value(r, "station_produktnummer")));
      if (z == m.CentralProductE5) {
        e.productE5 = product;
      } else if (z == m.CentralProductE10) {
        e.productE10 = product;
      } else if (z == m.CentralProductDiesel) {
        e.productDiesel = product;
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
    p.Run([&] {
      StationEntry& e = table[station];
      if (e.*fuel.product == 0) {
        grid.SetCell(row, fuel.gridColumn, "----");
        return;
      }
      grid.SetCell(row, fuel.gridColumn, std::to_string(e.*fuel.product));
      if (!has_record) return;
      // The row is the service's own: a NULL price or time (written by an
      // earlier version for a fuel without upstream price) is "no price",
      // never a failure that would end every later start.
      std::string price = stored.Text(0, fuel.priceColumn);
      const std::string time = stored.Text(0, fuel.timeColumn);
      e.*fuel.price = Dezimal(price, 3, 6);
      e.*fuel.priceTime = Trim(time);
      if (fuel.product == &StationEntry::productDiesel) {
        grid.SetCell(row + 1, 0, GridTimeText((e.*fuel.priceTime).str()));
      }
      grid.SetCell(row + 1, fuel.gridColumn, (e.*fuel.price).Trimmed() + " €");
    });
  }
}

}  // namespace velunor
