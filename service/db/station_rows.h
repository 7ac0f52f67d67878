// The station grid's rows for the upstream stations: two rows per station
// (number and name; prices and the last price-change time) in the order of
// the result, and each station's fuel assignment. Shared by the master-data
// load and the station synchronisation, which lay the grid out alike.
#pragma once

#include "service/common/procedure.h"
#include "service/db/odbc.h"
#include "service/db/stationskraftstoffe.h"

namespace velunor {

// `stations` holds the columns station and name1, ordered by station, and
// optionally the price time column of GridTimeFuel (fuels.h), shown in the
// second row when not NULL.
// Each step runs through `p`; `first_line` numbers them ("Zeile: ") from
// there on, 0 for none. A row whose station number cannot be read is skipped.
// `into`: the grid and the station table the rows go into, and what the
// laid-out stations' fuels are then read with.
void LayOutStationRows(const StationFuelsRead& into, Procedure& p, const ResultSet& stations,
                       int first_line);

}  // namespace velunor
