// Which synchronised stations the MTS-K has not yet acknowledged. The station
// synchronisation marks a station as synchronised upstream (status 1) before
// its publication is sent; until a station publication built after that is
// acknowledged, the station is pending here, and in "MTS_G.pending" in the
// program directory so that a restart does not forget it. Every station
// synchronisation marks the pending stations as changed again (status 2), so
// a refused, failed or abandoned publication, or one never sent because the
// start ended, goes out again at the next change check with new versions.
// Single-threaded. A file that cannot be written costs only the memory across
// a restart: it is reported as a notice in the error log (the run goes on
// with the stations in memory, and a full disk does not end the start).
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>

#include "service/db/db_state.h"

namespace velunor {

inline constexpr const char* kPendingStationsFileName = "MTS_G.pending";

// Reads the pending stations of an earlier run once per process; later calls
// do nothing.
void LoadPendingStations(DbState& state);

// "update lox_station_mts set status = 2 where station in ( 0 , a, b )" for
// the pending stations, "" when there are none.
std::string PendingStationsStatement(const DbState& state);

// The stations a synchronisation is about to mark as synchronised: they are
// pending from now on. Written to the file before the upstream status changes.
// `procedure` names the caller in a notice about a file that cannot be written.
void AddPendingStations(DbState& state, const std::set<long>& stations,
                        const std::string& procedure);

// The station publication under way was assembled: it carries every station
// pending now.
void StationPublicationAssembled(DbState& state);

// The MTS-K acknowledged the station publication under way: its stations are
// no longer pending.
void StationPublicationAcknowledged(DbState& state, const std::string& procedure);

}  // namespace velunor
