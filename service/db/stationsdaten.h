// Station master-data synchronisation: copies every changed MTS-active
// station (lox_station_mts.status 2) into mts_petrolstation with a new version
// and a history copy, prepares its opening times, takes deactivated stations
// out of the publication, rebuilds the station grid when anything changed and
// marks all handled stations as synchronised. A failing step is logged under
// "DB_Stationsdaten" ("Zeile: <n> ...", the statement in progress) and the
// run goes on; the final status update runs in every run.
#pragma once

#include "service/db/db_state.h"

namespace velunor {

inline constexpr int kStationSyncCheck = 0;   // look for changes
inline constexpr int kStationSyncForced = 1;  // rebuild the grid even without changes

// Returns the number of changes found: stations added to or removed from
// lox_station since the previous run (the first run only learns the count),
// changed active stations and deactivated stations.
int DB_Stationsdaten(DbState& state, int mode);

}  // namespace velunor
