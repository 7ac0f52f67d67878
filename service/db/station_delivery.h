// Which synchronised stations the MTS-K has not yet acknowledged. The station
// synchronisation marks a station as synchronised upstream (status 1) before
// its publication is sent; until a station publication built after that is
// acknowledged, the station is pending: in the service's own table
// `velunor_pending_station` (made when missing), so that a restart or another
// instance that takes over does not forget it, and for the operator in
// "MTS_G.pending" in the program directory. Every station synchronisation
// marks the pending stations as changed again (status 2), so a refused,
// failed or abandoned publication, or one never sent because the start or
// the instance ended, goes out again at the next change check with new
// versions. Single-threaded. A file that cannot be written is a notice in the
// error log; the database's refusal throws Failure (DbError).
#pragma once

#include <filesystem>
#include <set>
#include <string>

#include "service/common/clock.h"
#include "service/common/fehler_log.h"
#include "service/db/db_state.h"
#include "service/db/odbc.h"
#include "shared/file_system.h"

namespace velunor {

inline constexpr const char* kPendingStationsFileName = "MTS_G.pending";
inline constexpr const char* kPendingStationsTable = "velunor_pending_station";

// Where the pending stations are kept; the caller keeps each part.
struct PendingStationStore {
  StationDelivery& delivery;  // the stations pending and carried, and since when
  Connection* db;             // null: none, which fails as a lost connection
  FileSystem& files;
  const std::filesystem::path& program_dir;  // where MTS_G.pending lies
  FehlerLog& log;                            // the notice about a file that cannot be written
  const Clock& clock;                        // when a station became pending
};

// Reads the pending stations of an earlier run (of any instance) from the
// database once per `delivery`; later calls do nothing. The table is
// made when missing, with the stations of the program directory's file of
// a version that kept them there only.
void LoadPendingStations(const PendingStationStore& store);

// "update lox_station_mts set status = 2 where station in ( 0 , a, b )" for
// the pending stations, "" when there are none.
std::string PendingStationsStatement(const StationDelivery& delivery);

// The stations a synchronisation is about to mark as synchronised: they are
// pending from now on. Stored before the upstream status changes: when this
// throws, the caller must not mark them as synchronised.
// `procedure` names the caller in a notice about a file that cannot be written.
void AddPendingStations(const PendingStationStore& store, const std::set<long>& stations,
                        const std::string& procedure);

// The station publication under way was assembled: it carries every station
// pending now.
void StationPublicationAssembled(StationDelivery& delivery);

// The MTS-K acknowledged the station publication under way: its stations are
// no longer pending. When the database refuses, they stay pending (and are
// sent once more).
void StationPublicationAcknowledged(const PendingStationStore& store, const std::string& procedure);

}  // namespace velunor
