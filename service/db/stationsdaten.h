// Station master-data synchronisation: copies every changed MTS-active
// station (lox_station_mts.status 2) into mts_petrolstation with a new version
// and a history copy, prepares its opening times, takes deactivated stations
// out of the publication, rebuilds the station grid when anything changed and
// marks all handled stations as synchronised. A failing step is logged under
// "DB_Stationsdaten" ("Zeile: <n> ...", the statement in progress) and the
// run goes on; the final status update runs in every run.
#pragma once

#include <cstdint>

#include "service/common/clock.h"
#include "service/common/fehler_log.h"
#include "service/common/service_state.h"
#include "service/db/db_state.h"
#include "service/db/station_delivery.h"
#include "service/db/station_table.h"

namespace velunor {

inline constexpr int kStationSyncCheck = 0;   // look for changes
inline constexpr int kStationSyncForced = 1;  // rebuild the grid even without changes

// What the synchronisation works on; the caller keeps each part.
struct StationSync {
  DbSession& session;  // the connection and the lease the rows are written under
  FehlerLog& log;
  const Clock& clock;                  // the version time, today for the opening times
  const MasterData& master;            // the product list and the holiday identifiers
  StationTable& stations;              // names, fuels and special periods found
  StationPublicationIndex& published;  // a deactivated station leaves the publication
  ServiceState& facts;                 // the station grid
  int32_t& station_count;       // the rows of lox_station the previous run saw; 0 = not yet known
  PendingStationStore pending;  // the stations marked synchronised, not yet acknowledged
};

// Returns the number of changes found: stations added to or removed from
// lox_station since the previous run (the first run only learns the count),
// changed active stations and deactivated stations.
int DB_Stationsdaten(const StationSync& sync, int mode);

}  // namespace velunor
