#include "service/db/gas_tankstelle_export.h"

#include <filesystem>
#include <system_error>

#include "service/common/procedure.h"
#include "service/db/db_values.h"
#include "service/db/lpg_export_format.h"
#include "shared/file_replace.h"

namespace velunor {

namespace {

namespace fs = std::filesystem;

std::string ExportStatement(const std::string& gas_product_list) {
  return "select P.station, name1, name2, matchcode, strasse, plzort, gt_aktiv, gt_id, "
         "PP.zentrale_produktnummer ZP, date_format( P.datum,'%d.%m.%Y %H:%i') datum, P.preis "
         "from lox.lox_station_produkte PP, lox.lox_station S, lox.lox_station_aktuelle_preise P, "
         "lox.lox_station_mts M "
         "where PP.station = S.station and P.station = S.station and M.station = S.station and "
         "PP.station_produktnummer = P.produkt and PP.zentrale_produktnummer in ( " +
         gas_product_list + " ) and gt_aktiv = 1 and gt_id > 0" + " order by P.Station";
}

// The stored path uses backslashes; on this system both separators work.
fs::path FilePath(std::string_view stored) { return ReplaceAll(std::string(stored), "\\", "/"); }

LpgExportRow ReadRow(const ResultSet& rows, size_t r, const MasterData& m) {
  const long product = DbLong(rows.Value(r, "ZP"));
  if (product < 0 || static_cast<size_t>(product) >= m.ProductShortNames.size()) {
    throw Failure(kErrSubscriptOutOfRange, "Produkt " + std::to_string(product) +
                                               " liegt außerhalb von 0 bis " +
                                               std::to_string(m.ProductShortNames.size() - 1));
  }
  // A NULL text reads as empty: an incomplete address still gives its line.
  return LpgExportRow{rows.Text(r, "gt_id"),
                      rows.Text(r, "name1"),
                      rows.Text(r, "strasse"),
                      rows.Text(r, "plzort"),
                      rows.Text(r, "datum"),
                      rows.Text(r, "preis"),
                      m.ProductShortNames[static_cast<size_t>(product)]};
}

// The folder with every link and "." or ".." resolved, as far as it exists.
fs::path Resolved(const fs::path& folder) {
  std::error_code ec;
  fs::path absolute = fs::absolute(folder, ec);
  if (ec) absolute = folder;
  fs::path resolved = fs::weakly_canonical(absolute, ec);
  return ec ? absolute.lexically_normal() : resolved;
}

bool Inside(const fs::path& folder, const fs::path& dir) {
  const fs::path relative = folder.lexically_relative(dir);
  return !relative.empty() && *relative.begin() != "..";
}

}  // namespace

Status CheckLpgExportFile(const fs::path& program_dir, const fs::path& lpg_dir,
                          const std::string& stored) {
  const fs::path file = FilePath(stored);
  const fs::path folder = Resolved(file.has_parent_path() ? file.parent_path() : fs::path("."));
  const std::string named = "Exportdatei '" + stored + "' für den Export Gas-Tankstelle";
  const std::string ending = "; der Export unterbleibt, die Preise werden weiter gemeldet";
  if (Inside(folder, Resolved(program_dir))) {
    return Status::Error(kErrPathFileAccess,
                         named + " liegt im Programmverzeichnis " + program_dir.string() +
                             ", wo Velunor und Kestrin ihre Dateien halten; dorthin schreibt der "
                             "Export nie" +
                             ending);
  }
  if (!lpg_dir.empty() && !Inside(folder, Resolved(lpg_dir))) {
    return Status::Error(kErrPathFileAccess, named + " liegt nicht im Ordner " + lpg_dir.string() +
                                                 " (--lpg-dir); nur dorthin schreibt der Export" +
                                                 ending);
  }
  return Status();
}

void Gas_Tankstelle_Export(const LpgExportRun& run) {
  const MasterData& m = run.master;
  const std::string sql = ExportStatement(m.GasProductList);
  Procedure p(run.log, "Gas-Tankstelle-Export");
  p.With(sql);

  // A path from the database must never choose a file of the programs'.
  const Status allowed = CheckLpgExportFile(run.program_dir, run.lpg_dir, m.LpgExportFile);
  if (!allowed.ok()) {
    if (!run.refusal_told) p.With("").Check(allowed);
    run.refusal_told = true;
    return;
  }

  fs::path export_file;
  fs::path temp_file;
  if (!p.Run([&] {
        temp_file = FilePath(LpgTempFileName(m.LpgExportFile));
        export_file = FilePath(m.LpgExportFile);
      })) {
    return;
  }

  ResultSet rows;
  p.Run([&] { rows = Connected(run.db).Query(sql); });

  // The whole file is built first: a row that cannot be read is logged and
  // left out, and the file is written in one step below.
  std::string content = std::string(kLpgExportHeader) + "\r\n";
  size_t lines = 0;
  for (size_t r = 0; r < rows.RecordCount(); ++r) {
    p.Run([&] {
      content += LpgExportLine(ReadRow(rows, r, m));
      ++lines;
    });
  }
  // Nothing to offer: the portal keeps its last file rather than an empty one.
  if (lines == 0) return;

  // The complete file replaces the export file in one step, so the portal's
  // software never finds it missing or half written.
  bool temporary_taken = false;
  p.Run([&] {
    const Status written =
        ReplaceFile(run.files, export_file, content, {temp_file, &temporary_taken});
    if (!written.ok()) {
      throw Failure(kErrPathFileAccess, "Datei " + export_file.string() +
                                            " kann nicht geschrieben werden: " + written.message());
    }
  });
  if (temporary_taken) {
    p.Log(kErrPathFileAccess, "Datei " + temp_file.string() +
                                  " ist keine gewöhnliche Datei und bleibt unberührt; eine "
                                  "temporäre Datei anderen Namens wurde verwendet");
  }
}

}  // namespace velunor
