// Loading the head-office settings, the fuel codes, the transmission settings,
// holiday identifiers and product short names at start, laying out the
// station grid and mapping every station's fuels and current prices.
// A configuration fault ends the program (EndProgram); every other failing
// step is logged under "DB_LOXStammdaten" and the next step runs.
#pragma once

#include "service/db/db_state.h"
#include "shared/settings_file.h"

namespace velunor {

// `settings_file`: Velunor.CFG as read for this load; a missing file ends
// the program and an unreadable or short one is logged, each at its step.
// REQUIRES: the connection is open.
void DB_LOXStammdaten(DbState& state, const SettingsFileRead& settings_file);

}  // namespace velunor
