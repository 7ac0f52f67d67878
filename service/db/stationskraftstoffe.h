// Which of a station's active products stand for the MTS-K fuels (kFuels in
// fuels.h), the prices last stored for the MTS-K, and the station's two grid
// rows; read for any number of stations with two statements. A failing step
// is logged under "DB_Get_MTS_Stationskraftstoffe" with the statement in
// progress (for a station's own step, the statement as it reads for that
// station alone), and the next step runs.
#pragma once

#include <string>
#include <vector>

#include "service/db/db_state.h"

namespace velunor {

// REQUIRES: no station twice. A station without a place in the grid is not shown.
// A station the station table cannot hold fails in each of its own steps.
void DB_Get_MTS_Stationskraftstoffe(DbState& state, const std::vector<long>& stations,
                                    const std::string& product_list);

}  // namespace velunor
