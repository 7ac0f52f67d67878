#include "service/db/lox_stammdaten.h"

#include <filesystem>

#include "service/common/end_program.h"
#include "service/common/procedure.h"
#include "service/db/db_values.h"
#include "service/db/fuels.h"
#include "service/db/station_rows.h"
#include "service/db/stationskraftstoffe.h"
#include "service/db/stationspreise.h"

namespace velunor {

namespace {

void ReadFuelCodes(MasterData& m, const std::string& codes) {
  for (int i = 1; i <= 20; ++i) {
    const char c = static_cast<size_t>(i) <= codes.size() ? codes[static_cast<size_t>(i) - 1] : ' ';
    const int code = (c >= '0' && c <= '9') ? c - '0' : 0;
    if (code < 1 || code > static_cast<int>(kFuelCodes.size())) continue;
    const FuelCode& fuel = CodeOf(code);
    m.*fuel.central_product = i;
    m.*fuel.product_list += ", " + std::to_string(i);
  }
}

}  // namespace

void DB_LOXStammdaten(const MasterDataLoad& load, const SettingsFileRead& settings_file) {
  Procedure p(load.log, "DB_LOXStammdaten");
  WindowHost& host = load.host;
  MasterData& m = load.master;
  ServiceState& grid = load.facts;

  for (const FuelCode& fuel : kFuelCodes) m.*fuel.central_product = 0;
  m.MtsProductList = " 0";
  m.GasProductList = " 0";

  ResultSet settings;
  // A read that failed (a lost or frozen connection) leaves every value
  // empty: that is no missing setting to end the start over, the logged
  // failure ends it and names the real cause.
  const bool read = p.Run([&] {
    settings = Connected(load.db).Query(
        "select id, value from stammdaten where id in ( 132, 133, 134, 135, 490, 491, 998, 999 )");
  });
  for (size_t r = 0; r < settings.RecordCount(); ++r) {
    p.Run([&] {
      const std::string value = Required(settings.Value(r, "value"));
      switch (DbLong(settings.Value(r, "id"))) {
        case 132:
          ReadFuelCodes(m, value);
          break;
        case 133:
          m.StationPublicationNumber = value;
          break;
        case 134:
          m.PricePublicationNumber = value;
          break;
        case 135:
          m.ReporterName = value;
          break;
        case 490:
          m.LpgExportFile = value;
          break;
        case 491:
          m.LpgExportAktiv = static_cast<int32_t>(NumberValue(value));
          break;
        case 998:
          if (NumberValue(value) < 131) {
            EndProgram(host,
                       "Zum Velunor muss die Datenbankversion mindestens den Stand 131 haben!");
          }
          break;
        default:
          break;
      }
    });
  }

  if (read && m.LpgExportAktiv == 1) {
    if (m.LpgExportFile.empty()) {
      EndProgram(host,
                 "Kein Pfad und Exportdatei für den Export Gas-Tankstelle in den Firmenstammdaten "
                 "angegeben!");
    }
    // Stored paths use backslashes; on this system both separators work.
    const size_t slash = m.LpgExportFile.find_last_of("\\/");
    if (slash != std::string::npos) {
      const std::string folder = m.LpgExportFile.substr(0, slash);
      if (!load.files.Stat(ReplaceAll(folder, "\\", "/"), true).directory) {
        EndProgram(host, "Pfad '" + folder + "' für den Export Gas-Tankstelle nicht gefunden!");
      }
    }
  }

  if (!settings_file.found) {
    EndProgram(host,
               "Einstellungen nicht gefunden. Bitte starten Sie Kestrin.EXE und nehmen die "
               "notwendigen Einstellungen vor!");
  }
  load.settings = settings_file.values;
  if (!settings_file.status.ok()) {
    p.Log(kErrPathFileAccess, settings_file.status.message());
  } else if (settings_file.lines < 3) {
    p.Log(kErrInputPastEnd, "Eingabe hinter Dateiende: " + std::string(kSettingsFileName) +
                                " enthält nur " + std::to_string(settings_file.lines) +
                                " von 3 Zeilen");
  }

  if (read && m.ReporterName.empty()) {
    EndProgram(
        host, "Der Name oder die Organisation des Preismelders bei der MTS muss angegeben werden!");
  }
  p.Run([&] { grid.SetReporter(m.ReporterName); });

  ResultSet holidays;
  p.Run([&] {
    holidays = Connected(load.db).Query(
        "select nummer, identifier from mts_holiday_identifier order by nummer");
  });
  for (size_t r = 0; r < holidays.RecordCount(); ++r) {
    p.Run([&] {
      const long n = DbLong(holidays.Value(r, "nummer"));
      const std::string identifier = holidays.Text(r, "identifier");
      if (n < 0 || n > 16) {
        throw Failure(kErrSubscriptOutOfRange,
                      "Bundesland " + std::to_string(n) + " liegt außerhalb von 0 bis 16");
      }
      m.HolidayIdentifiers[static_cast<size_t>(n)] = identifier;
    });
  }

  ResultSet products;
  p.Run([&] {
    products =
        Connected(load.db).Query("select nummer, kuerzel from stammdaten_produkte order by nummer");
  });
  for (size_t r = 0; r < products.RecordCount(); ++r) {
    p.Run([&] {
      const long n = DbLong(products.Value(r, "nummer"));
      if (n >= 1 && n <= 20)
        m.ProductShortNames[static_cast<size_t>(n)] = products.Text(r, "kuerzel");
    });
  }

  p.Run([&] {
    grid.LayOutStations(0);
    for (const FuelCode& fuel : kFuelCodes) {
      const int32_t product = m.*fuel.central_product;
      grid.SetCentralProduct(
          fuel.code, product,
          product == 0 ? std::string() : m.ProductShortNames.at(static_cast<size_t>(product)));
    }
  });

  ResultSet stations;
  p.Run([&] {
    stations = Connected(load.db).Query("select station, name1 from lox_station order by station");
  });
  LayOutStationRows({load.log, load.db, m, load.stations, grid}, p, stations, 0);

  DB_Get_MTS_StationsPreise(load.db, load.prices, load.intake);
}

}  // namespace velunor
