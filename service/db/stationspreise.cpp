#include "service/db/stationspreise.h"

#include <cmath>

#include "service/common/procedure.h"
#include "service/common/zusatzfunktionen.h"
#include "service/db/db_values.h"
#include "service/db/fuels.h"

namespace velunor {

void DB_Get_MTS_StationsPreise(Connection* db, CurrentPrices& prices, const PriceIntake& intake) {
  Procedure p(intake.log, "DB_Get_MTS_StationsPreise");
  const std::string sql =
      "select station, produkt, preis, date_format( datum,'%Y-%m-%dT%H:%i:%s') datum from "
      "lox_station_aktuelle_preise order by station";
  p.With(sql).Run([&] {
    ResultSet rows = Connected(db).Query(sql);
    if (rows.RecordCount() > 0) prices.rows = std::move(rows);
  });
  AktuellePreiseZuordnen(prices, intake);
}

void AktuellePreiseZuordnen(const CurrentPrices& prices, const PriceIntake& intake) {
  Procedure p(intake.log, "AktuellePreiseZuordnen");
  // One suffix for the whole run: the offset in force now, not at the price's date.
  const std::string suffix = ZeitzonenText(intake.clock);
  const ResultSet& rows = prices.rows;
  ServiceState& grid = intake.facts;
  intake.watch.EndOldWarnings();

  for (size_t r = 0; r < rows.RecordCount(); ++r) {
    p.Run([&] {
      const long station = DbLong(rows.ValueAt(r, 0));
      // A price of a station the network does not hold is not the service's.
      StationEntry* found = intake.stations.Find(station);
      if (found == nullptr || found->hasMtsFuels <= 0) return;
      StationEntry& e = *found;
      const long product = DbLong(rows.ValueAt(r, 1));
      const Fuel* fuel = nullptr;
      for (const Fuel& f : kFuels) {
        if (product == e.*f.product) {
          fuel = &f;
          break;
        }
      }
      if (fuel == nullptr) return;
      const std::string price_text = Required(rows.ValueAt(r, 2));
      const std::string time = Required(rows.ValueAt(r, 3));
      const double current = NumberValue(ReplaceAll(price_text, ",", "."));
      const double stored = (e.*fuel->price).Number();
      if (std::fabs(current - stored) > 1e-9) {
        std::string value = price_text;
        PriceText pending;
        pending = Dezimal(value, 3, 6);
        TimeText pending_time;
        pending_time = time + suffix;
        // A price read again before it was stored is the same price, and
        // has been judged once already.
        if (pending.str() != (e.*fuel->newPrice).str() ||
            pending_time.str() != (e.*fuel->newPriceTime).str()) {
          intake.watch.Judge(station, e.name, *fuel, current, stored);
        }
        e.*fuel->newPrice = pending;
        e.*fuel->newPriceTime = pending_time;
        e.pricesChanged = 1;
        grid.SetPrice(station, fuel->code, (e.*fuel->newPrice).Trimmed());
        grid.SetPriceTime(station, time);
      } else if (current > 0 && !grid.price_time_known(station)) {
        grid.SetPriceTime(station, time);
      }
    });
  }
}

}  // namespace velunor
