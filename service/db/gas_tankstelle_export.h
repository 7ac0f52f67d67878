// The LPG-portal export: writes the current price of every LPG and CNG product
// of the stations taking part in the portal into the file named by
// LpgExportFile, replacing that file only with a completely written one.
#pragma once

#include "service/db/db_state.h"

namespace velunor {

// Reads the prices (nothing to export leaves the file and its folder as they
// are), writes them to the temporary file beside the export file and renames
// it over the export file, so a reader always finds a whole file. A failing
// step is logged under "Gas-Tankstelle-Export" with the statement as context;
// a temporary file that could not be completed or renamed is removed and the
// old export file stays. Never throws Failure.
void Gas_Tankstelle_Export(DbState& state);

}  // namespace velunor
