// Turns a station's upstream opening-time rows (lox_station_mts_times) into
// its weekly records in mts_petrolstation_times and its special periods in the
// station table's overrides. Runs inside the station synchronisation: a
// failing step is logged through the caller's procedure and the next one runs.
#pragma once

#include <string>

#include "service/common/procedure.h"
#include "service/db/db_state.h"

namespace velunor {

// `heute_datum` is today as "dd.mm.yyyy". Rewrites the station's weekly
// records; fills overrides 1..8 without gaps and sets pricesChanged when a
// special period is taken. A station open around the clock keeps its
// overrides and pricesChanged as they are.
void PrepareOpeningTimes(DbState& state, Procedure& p, long station,
                         const std::string& heute_datum);

}  // namespace velunor
