#include "service/db/station_rows.h"

#include <vector>

#include "service/db/db_values.h"
#include "service/db/fuels.h"

namespace velunor {

void LayOutStationRows(const StationFuelsRead& into, Procedure& p, const ResultSet& stations,
                       int first_line) {
  ServiceState& grid = into.facts;
  auto step = [&](int offset) -> Procedure& {
    return p.At(first_line == 0 ? 0 : first_line + offset);
  };
  const char* time_column = GridTimeFuel().timeColumn;
  const bool grid_time = stations.HasColumn(time_column);
  step(0).Run([&] { grid.LayOutStations(static_cast<int>(stations.RecordCount())); });
  std::vector<long> laid_out;
  for (size_t i = 0; i < stations.RecordCount(); ++i) {
    long station = 0;
    if (!step(1).Run([&] { station = DbLong(stations.Value(i, "station")); })) continue;
    step(2).Run([&] { into.stations[station]; });  // its entry: the table's bound may refuse it
    laid_out.push_back(station);
    step(3).Run([&] {
      const std::string name = stations.Text(i, "name1");
      into.stations[station].name = name;
      grid.PlaceStation(static_cast<int>(i), station, name);
      if (!grid_time) return;
      const DbValue& time = stations.Value(i, time_column);
      if (time) grid.SetPriceTime(station, *time);
    });
  }
  DB_Get_MTS_Stationskraftstoffe(into, laid_out, into.master.MtsProductList);
}

}  // namespace velunor
