// Which of a station's active products stand for the MTS-K fuels (kFuels in
// fuels.h), the prices last stored for the MTS-K, and the station's two grid
// rows; read for any number of stations with two statements. A failing step
// is logged under "DB_Get_MTS_Stationskraftstoffe" with the statement in
// progress (for a station's own step, the statement as it reads for that
// station alone), and the next step runs.
#pragma once

#include <string>
#include <vector>

#include "service/common/fehler_log.h"
#include "service/common/service_state.h"
#include "service/db/odbc.h"
#include "service/db/station_table.h"

namespace velunor {

// What the read works on; the caller keeps each part.
struct StationFuelsRead {
  FehlerLog& log;
  Connection* db;            // null: none, which fails as a lost connection
  const MasterData& master;  // which central product stands for which fuel
  StationTable& stations;    // the fuels, stored prices and times found
  ServiceState& facts;       // whether each station reports, its products and prices
};

// REQUIRES: no station twice. A station without a place in the grid is not shown.
// A station the station table cannot hold fails in each of its own steps.
void DB_Get_MTS_Stationskraftstoffe(const StationFuelsRead& read, const std::vector<long>& stations,
                                    const std::string& product_list);

}  // namespace velunor
