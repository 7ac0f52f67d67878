// Loading the head-office settings, the fuel codes, the transmission settings,
// holiday identifiers and product short names at start, laying out the
// station grid and mapping every station's fuels and current prices.
// A configuration fault ends the program (EndProgram); every other failing
// step is logged under "DB_LOXStammdaten" and the next step runs.
#pragma once

#include "service/common/fehler_log.h"
#include "service/common/service_state.h"
#include "service/common/window_host.h"
#include "service/db/odbc.h"
#include "service/db/station_table.h"
#include "service/db/stationspreise.h"
#include "shared/file_system.h"
#include "shared/settings_file.h"

namespace velunor {

// What the load works on; the caller keeps each part.
struct MasterDataLoad {
  FehlerLog& log;
  Connection* db;                  // null: none, which fails as a lost connection
  WindowHost& host;                // shows the fault the program ends for
  FileSystem& files;               // where the LPG export's folder must be
  MasterData& master;              // loaded anew
  TransmissionSettings& settings;  // taken from Velunor.CFG
  StationTable& stations;          // the grid's stations with their fuels
  ServiceState& facts;             // the reporter and the station grid
  CurrentPrices& prices;           // the last read of the current prices
  PriceIntake intake;              // how those prices are taken in
};

// `settings_file`: Velunor.CFG as read for this load; a missing file ends
// the program and an unreadable or short one is logged, each at its step.
// REQUIRES: the connection is open.
void DB_LOXStammdaten(const MasterDataLoad& load, const SettingsFileRead& settings_file);

}  // namespace velunor
