// The LPG-portal export: writes the current price of every LPG and CNG product
// of the stations taking part in the portal into the file named by
// LpgExportFile, replacing that file only with a completely written one.
#pragma once

#include <filesystem>
#include <string>

#include "service/common/fehler_log.h"
#include "service/db/odbc.h"
#include "service/db/station_table.h"
#include "shared/file_system.h"
#include "shared/status.h"

namespace velunor {

// Ok when the export may write `stored` (stammdaten 490, with backslashes or
// slashes); otherwise why not, as the error log's text: the file never lies in `program_dir`, where
// STATION.INI, Velunor.CFG, the certificates and the logs are, nor below it;
// with an `lpg_dir` it lies in that folder or below it. Links in the folders
// are resolved first, a relative path counts from the working directory.
Status CheckLpgExportFile(const std::filesystem::path& program_dir,
                          const std::filesystem::path& lpg_dir, const std::string& stored);

// What the export works on; the caller keeps each part.
struct LpgExportRun {
  FehlerLog& log;
  Connection* db;            // null: none, which fails as a lost connection
  const MasterData& master;  // the gas products, the export file, the products' short names
  FileSystem& files;
  const std::filesystem::path& program_dir;  // never written into (CheckLpgExportFile)
  const std::filesystem::path& lpg_dir;      // --lpg-dir; empty: any folder
  bool& refusal_told;                        // the refusal was logged: once per run
};

// Reads the prices (nothing to export leaves the file and its folder as they
// are), writes them to the temporary file beside the export file and renames
// it over the export file, so a reader always finds a whole file. A failing
// step is logged under "Gas-Tankstelle-Export" with the statement as context;
// a temporary file that could not be completed or renamed is removed and the
// old export file stays. A file LpgExportRefusal refuses is never written;
// that is logged at the first run of the process only. Never throws Failure.
void Gas_Tankstelle_Export(const LpgExportRun& run);

}  // namespace velunor
