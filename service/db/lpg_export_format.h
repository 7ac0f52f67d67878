// The LPG-portal price file's text: the fixed header line, one line of 13
// semicolon-terminated fields per product price, Windows-1252 bytes with CR LF
// line ends, and the name of the temporary file it is written to. No state.
#pragma once

#include <string>
#include <string_view>

namespace velunor {

inline constexpr std::string_view kLpgExportHeader =
    "marke;station;name;strasse;plz;ort;zeit;preis;kraftstoff;oeffnet;schliesst;oeffnet_feiertag;"
    "schliesst_feiertag";

// One product price as the export reads it, every text in UTF-8.
struct LpgExportRow {
  std::string station;  // the portal's id of the station
  std::string name;
  std::string strasse;
  std::string plzort;      // postcode, blank and town in one text
  std::string zeit;        // already "dd.mm.yyyy hh:mm"
  std::string preis;       // the database's text of the price, with a decimal point
  std::string kraftstoff;  // short name of the central product
};

// `value` in double quotes; a double quote inside is doubled so that no value
// can end its field early, and a line end or other control character becomes
// a space so that no value can end its line.
std::string LpgQuoted(std::string_view value);

// "0.899" -> "0,899": the decimal comma the portal expects; digits unchanged.
std::string LpgPriceText(std::string_view database_text);

// The data line of `row` in Windows-1252, ending with ";" and CR LF. The
// postcode is the first 5 characters of plzort, the town the rest without
// surrounding blanks (empty when plzort is shorter than 6 characters).
std::string LpgExportLine(const LpgExportRow& row);

// The export file's name with its last three characters replaced by "tmp"
// ("preise.csv" -> "preise.tmp"). Throws Failure when the name is shorter.
std::string LpgTempFileName(std::string_view export_file);

}  // namespace velunor
