// The LPG-portal export: writes the current price of every LPG and CNG product
// of the stations taking part in the portal into the file named by
// LpgExportFile, replacing that file only with a completely written one.
#pragma once

#include <filesystem>
#include <string>

#include "service/db/db_state.h"
#include "shared/status.h"

namespace velunor {

// Ok when the export may write `stored` (stammdaten 490, with backslashes or
// slashes); otherwise why not, as the error log's text: the file never lies in `program_dir`, where
// STATION.INI, Velunor.CFG, the certificates and the logs are, nor below it;
// with an `lpg_dir` it lies in that folder or below it. Links in the folders
// are resolved first, a relative path counts from the working directory.
Status CheckLpgExportFile(const std::filesystem::path& program_dir,
                          const std::filesystem::path& lpg_dir, const std::string& stored);

// Reads the prices (nothing to export leaves the file and its folder as they
// are), writes them to the temporary file beside the export file and renames
// it over the export file, so a reader always finds a whole file. A failing
// step is logged under "Gas-Tankstelle-Export" with the statement as context;
// a temporary file that could not be completed or renamed is removed and the
// old export file stays. A file LpgExportRefusal refuses is never written;
// that is logged at the first run of the process only. Never throws Failure.
void Gas_Tankstelle_Export(DbState& state);

}  // namespace velunor
