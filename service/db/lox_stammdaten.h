// Loading the head-office settings, the fuel codes, the transmission settings
// file, holiday identifiers and product short names at start, laying out the
// station grid and mapping every station's fuels and current prices.
// A configuration fault ends the program (EndProgram); every other failing
// step is logged under "DB_LOXStammdaten" and the next step runs.
#pragma once

#include "service/db/db_state.h"

namespace velunor {

// REQUIRES: the connection is open.
void DB_LOXStammdaten(DbState& state);

}  // namespace velunor
