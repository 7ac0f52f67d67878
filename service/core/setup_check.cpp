#include "service/core/setup_check.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <set>

#include "service/common/fehler_log.h"
#include "service/core/certificate_watch.h"
#include "service/core/station_ini.h"
#include "service/db/batch_write.h"
#include "service/db/connect.h"
#include "service/db/fuels.h"
#include "service/transmission/curl_transport.h"
#include "service/transmission/soap_transaction.h"
#include "shared/cert_store.h"
#include "shared/output_line.h"
#include "shared/settings_file.h"

namespace velunor {

namespace {

constexpr std::pair<int, int> kLowestMariaDb = {10, 3};
constexpr std::chrono::milliseconds kHandshakeTimeout{15000};

// The transport's verdict is all the check needs.
class NoEvents : public TlsEvents {
 public:
  void SOAP1_ConnectionStatus(const std::string&, int, const std::string&) override {}
  void SOAP1_SSLServerAuthentication(const std::string&, const std::string&, const std::string&,
                                     const std::string&, bool&) override {}
  void SOAP1_SSLStatus(const std::string&) override {}
};

class Checker {
 public:
  Checker(const ServiceSetup& setup, Clock& clock, std::FILE* out)
      : config_(setup.config), clock_(clock), out_(out), certs_(config_.cert_store) {}

  int Run();

 private:
  // One line: "OK", or "FEHLER" with what is wrong and how to mend it.
  void Line(bool ok, const std::string& what, const std::string& text, const std::string& fix = "");
  void Warning(const std::string& what, const std::string& text, const std::string& fix);

  bool StationIniFile();
  bool Database();
  void DatabaseVersion();
  void Tables();
  void WritePath();
  bool SettingsFile();
  bool Certificate();
  void Handshake(const std::string& what, const std::string& url);

  Configuration config_;
  Clock& clock_;
  std::FILE* out_;
  DirectoryCertStore certs_;
  const StationIni& ini_ = config_.station_ini;
  const TransmissionSettings& settings_ = config_.settings_file.values;
  std::unique_ptr<Connection> db_;
  bool failed_ = false;
};

void Checker::Line(bool ok, const std::string& what, const std::string& text,
                   const std::string& fix) {
  if (!ok) failed_ = true;
  std::string line = std::string(ok ? "OK      " : "FEHLER  ") + what + ": " + text;
  if (!ok && !fix.empty()) line += " -> " + fix;
  PrintLine(out_, line);
}

void Checker::Warning(const std::string& what, const std::string& text, const std::string& fix) {
  PrintLine(out_, "WARNUNG " + what + ": " + text + " -> " + fix);
}

bool Checker::StationIniFile() {
  LoadConfigurationFile(RealFileSystem(), config_, ConfigurationFile::kStationIni);
  const std::filesystem::path path = config_.StationIniPath();
  const Status& read = config_.station_ini_status;
  if (read.code() == ENOENT) {
    Line(false, kStationIniName, path.string() + " fehlt",
         "Datei anlegen: vier Werte (frei, Server[:Port], Benutzer, Kennwort), Modus 0600");
    return false;
  }
  if (!read.ok()) {
    Line(false, kStationIniName, path.string() + " kann nicht gelesen werden: " + read.message(),
         StationIniUnreadableFix(path, read));
    return false;
  }
  if (ini_.values_read < 4) {
    Line(false, kStationIniName, "enthält " + std::to_string(ini_.values_read) + " von 4 Werten",
         "vier Werte eintragen: frei, Server[:Port], Benutzer, Kennwort");
    return false;
  }
  if (ini_.DbPasswort == kStationIniPlaceholderPassword) {
    // The package's placeholder would only fail at the connection, as a wrong password.
    Line(false, kStationIniName,
         path.string() + " enthält noch die Platzhalter des Pakets (Kennwort " +
             kStationIniPlaceholderPassword + ")",
         "Server[:Port], Benutzer und Kennwort der Datenbank eintragen");
    return false;
  }
  Line(true, kStationIniName,
       "Server " + (ini_.DbServer.empty() ? std::string("localhost") : ini_.DbServer) +
           ", Benutzer " + ini_.DbBenutzer);
  const std::string exposure = StationIniExposure(RealFileSystem(), path);
  if (!exposure.empty()) Warning(kStationIniName, exposure, "chmod 600 " + path.string());
  return true;
}

bool Checker::Database() {
  FehlerLog log(config_.program_dir, clock_);
  const Status opened =
      OpenConnection({ini_.DbServer, ini_.DbBenutzer, ini_.DbPasswort}, log, &db_);
  if (!opened.ok()) {
    Line(false, "Datenbank", "keine Verbindung (" + opened.message() + ")",
         "Server, Port, Benutzer und Kennwort in STATION.INI und den ODBC-Treiber "
         "(odbc-register) prüfen");
    return false;
  }
  Line(true, "Datenbank",
       "verbunden mit " + (ini_.DbServer.empty() ? std::string("localhost") : ini_.DbServer));
  return true;
}

void Checker::DatabaseVersion() {
  std::string version;
  try {
    version = db_->Query("select version() as v").Text(0, "v");
  } catch (const Failure& f) {
    Line(false, "Datenbankversion", "nicht lesbar: " + f.description());
    return;
  }
  const auto [major, minor] = MariaDbVersion(version);
  const bool ok = std::make_pair(major, minor) >= kLowestMariaDb;
  Line(ok, "Datenbankversion", version,
       "MariaDB " + std::to_string(kLowestMariaDb.first) + "." +
           std::to_string(kLowestMariaDb.second) + " oder neuer nötig");
}

// A column as the server lists it.
struct FoundColumn {
  std::string name;
  std::string type;  // data_type, e.g. "int", "varchar"
  long length = 0;   // characters of a text column
  bool auto_increment = false;
};

bool IsInteger(const std::string& type) {
  return type == "tinyint" || type == "smallint" || type == "mediumint" || type == "int" ||
         type == "bigint";
}

bool IsText(const std::string& type) {
  return type == "char" || type == "varchar" || type == "tinytext" || type == "text" ||
         type == "mediumtext" || type == "longtext";
}

// "" when `found` can hold what the service writes to `want`'s place, else
// what it must be.
std::string TypeFault(const RequiredColumn& want, const FoundColumn& found) {
  switch (want.type) {
    case ColumnType::kNamedOnly:
      return "";
    case ColumnType::kInteger:
      return IsInteger(found.type) ? "" : "eine Ganzzahl";
    case ColumnType::kAutoIncrement:
      return IsInteger(found.type) && found.auto_increment ? ""
                                                           : "eine Ganzzahl mit auto_increment";
    case ColumnType::kText:
      return IsText(found.type) && found.length >= want.width
                 ? ""
                 : "ein Text mit mindestens " + std::to_string(want.width) + " Zeichen";
    case ColumnType::kTime:
      return found.type == "timestamp" || found.type == "datetime" ? "" : "ein Zeitstempel";
  }
  return "";
}

// What is wrong with a table written by position.
void CheckPositions(const RequiredTable& table, const std::vector<FoundColumn>& have,
                    std::vector<std::string>& missing, std::vector<std::string>& wrong) {
  const std::string name = table.name;
  if (have.size() != table.columns.size()) {
    wrong.push_back(name + " hat " + std::to_string(have.size()) + " statt " +
                    std::to_string(table.columns.size()) + " Spalten");
    return;
  }
  for (size_t i = 0; i < have.size(); ++i) {
    const RequiredColumn& want = table.columns[i];
    const std::string place = "Spalte " + std::to_string(i + 1) + " von " + name;
    if (want.named && have[i].name != want.name) {
      missing.push_back("Spalte " + name + "." + want.name + " an Stelle " + std::to_string(i + 1));
      continue;
    }
    const std::string fault = TypeFault(want, have[i]);
    if (!fault.empty()) {
      wrong.push_back(place + " (" + have[i].name + ") muss " + fault + " sein, ist " +
                      have[i].type +
                      (have[i].length > 0 ? "(" + std::to_string(have[i].length) + ")" : ""));
    }
  }
}

// What is wrong with a history table against the table it copies, `copied`
// as found: its key, then the same columns in the same order.
void CheckCopy(const RequiredTable& table, const std::vector<FoundColumn>& have,
               const std::vector<FoundColumn>& copied, std::vector<std::string>& missing,
               std::vector<std::string>& wrong) {
  const std::string name = table.name;
  if (have.size() != copied.size() + 1) {
    wrong.push_back(name + " hat " + std::to_string(have.size()) + " statt " +
                    std::to_string(copied.size() + 1) + " Spalten (Schlüssel und die Spalten von " +
                    table.copy_of + ")");
    return;
  }
  const RequiredColumn& key = table.columns.front();
  const std::string fault = TypeFault(key, have[0]);
  if (!fault.empty()) {
    wrong.push_back("Spalte 1 von " + name + " (" + have[0].name + ") muss " + fault +
                    " sein, ist " + have[0].type);
  }
  for (size_t i = 1; i < have.size(); ++i) {
    if (have[i].name != copied[i - 1].name) {
      missing.push_back("Spalte " + name + "." + copied[i - 1].name + " an Stelle " +
                        std::to_string(i + 1) + " (wie in " + table.copy_of + ")");
    }
  }
}

void Checker::Tables() {
  std::map<std::string, std::vector<FoundColumn>> found;
  try {
    const ResultSet rows = db_->Query(
        "select table_name as t, column_name as c, data_type as d, "
        "character_maximum_length as l, extra as x from information_schema.columns "
        "where table_schema = database() order by table_name, ordinal_position");
    for (size_t r = 0; r < rows.RecordCount(); ++r) {
      FoundColumn c;
      c.name = rows.Text(r, "c");
      c.type = rows.Text(r, "d");
      c.length = std::atol(rows.Text(r, "l").c_str());
      c.auto_increment = rows.Text(r, "x").find("auto_increment") != std::string::npos;
      found[rows.Text(r, "t")].push_back(c);
    }
  } catch (const Failure& f) {
    Line(false, "Tabellen", "nicht lesbar: " + f.description());
    return;
  }
  std::vector<std::string> missing;
  std::vector<std::string> wrong;
  size_t columns = 0;
  for (const RequiredTable& table : RequiredTables()) {
    const auto have = found.find(table.name);
    if (have == found.end()) {
      missing.push_back("Tabelle " + std::string(table.name));
      continue;
    }
    columns += table.columns.size();
    const auto copied = table.copy_of != nullptr ? found.find(table.copy_of) : found.end();
    if (copied != found.end()) {
      CheckCopy(table, have->second, copied->second, missing, wrong);
      continue;
    }
    if (table.by_position) {
      CheckPositions(table, have->second, missing, wrong);
      continue;
    }
    for (const RequiredColumn& column : table.columns) {
      const bool there = std::any_of(have->second.begin(), have->second.end(),
                                     [&](const FoundColumn& c) { return c.name == column.name; });
      if (!there) missing.push_back("Spalte " + std::string(table.name) + "." + column.name);
    }
  }
  if (missing.empty() && wrong.empty()) {
    Line(true, "Tabellen",
         std::to_string(RequiredTables().size()) + " Tabellen, " + std::to_string(columns) +
             " Spalten vorhanden");
    return;
  }
  auto joined = [](const std::vector<std::string>& items) {
    std::string list;
    for (const std::string& item : items) list += (list.empty() ? "" : ", ") + item;
    return list;
  };
  std::string text;
  if (!missing.empty()) text = "es fehlt: " + joined(missing);
  if (!wrong.empty())
    text += (text.empty() ? "" : "; ") + std::string("passt nicht: ") + joined(wrong);
  Line(false, "Tabellen", text, "Schema anlegen oder ergänzen (sql/lox-schema.sql)");
}

void Checker::WritePath() {
  BatchTables tables;
  try {
    tables = ReadBatchTables(*db_);
  } catch (const Failure& f) {
    Line(false, "Schreibweg", "nicht lesbar: " + f.description());
    return;
  }
  if (tables.without_transactions.empty()) {
    Line(true, "Schreibweg", WritePathText(tables));
    return;
  }
  std::string fix;
  for (const auto& [table, engine] : tables.without_transactions) {
    if (!engine.empty())
      fix += (fix.empty() ? "" : "; ") + std::string("ALTER TABLE ") + table + " ENGINE=InnoDB";
  }
  Warning(
      "Schreibweg",
      WritePathText(tables) +
          "; ohne Transaktionen wird jede Station mit eigenen Anweisungen geschrieben (langsam)",
      fix.empty() ? "Schema anlegen oder ergänzen (sql/lox-schema.sql)" : fix);
}

bool Checker::SettingsFile() {
  LoadConfigurationFile(RealFileSystem(), config_, ConfigurationFile::kSettingsFile);
  const std::filesystem::path path = config_.SettingsFilePath();
  const SettingsFileRead& read = config_.settings_file;
  const std::string fix = "mit Kestrin Zertifikat und beide URLs speichern";
  if (!read.found) {
    Line(false, kSettingsFileName, path.string() + " fehlt", fix);
    return false;
  }
  if (!read.status.ok()) {
    Line(false, kSettingsFileName, read.status.message(), "Eigentümer und Rechte prüfen");
    return false;
  }
  if (read.lines < 3 || settings_.VerwendetesZertifikat.empty() ||
      settings_.UrlGrunddatenlieferung.empty() || settings_.UrlPreisdatenlieferung.empty()) {
    Line(false, kSettingsFileName,
         "unvollständig (" + std::to_string(read.lines) + " von 3 Zeilen)", fix);
    return false;
  }
  Line(true, kSettingsFileName, "Zertifikat \"" + settings_.VerwendetesZertifikat + "\"");
  return true;
}

bool Checker::Certificate() {
  const std::string& subject = settings_.VerwendetesZertifikat;
  const std::string store = kClientCertificateStore;
  const std::string where = (config_.cert_store / store).string();
  const auto chosen = certs_.Choose(store, subject);
  if (!chosen) {
    Line(false, "Zertifikat", "kein Zertifikat \"" + subject + "\" in " + where,
         "Zertifikat mit Schlüssel (.pem oder .p12) nach " + where + " legen");
    return false;
  }
  const std::string file = chosen->file.string();
  if (!chosen->has_private_key) {
    Line(false, "Zertifikat", file + " hat keinen privaten Schlüssel",
         "Zertifikat zusammen mit seinem Schlüssel ablegen");
    return false;
  }
  const ClientCredentials credentials = certs_.LoadClientCredentials(store, subject);
  if (!credentials.status.ok()) {
    Line(false, "Zertifikat", file + ": " + credentials.status.message(),
         "Datei für das Dienstkonto lesbar machen, Schlüssel unverschlüsselt ablegen");
    return false;
  }
  const CertificateDetails& d = chosen->details;
  const std::int64_t now = clock_.EpochSeconds();
  const std::string validity =
      "gültig " + FormatValidity(d.not_before) + " bis " + FormatValidity(d.not_after);
  if (now < d.not_before || now > d.not_after) {
    Line(false, "Zertifikat",
         file + (now < d.not_before ? " noch nicht gültig (" : " abgelaufen (") + validity + ")",
         "ein gültiges Zertifikat bei der MTS-K beantragen und ablegen");
    return false;
  }
  const std::int64_t days = (d.not_after - now) / (24 * 60 * 60);
  Line(true, "Zertifikat",
       file + ", mit Schlüssel, " + validity + " (noch " + std::to_string(days) + " Tage)");
  const std::string soon = CertificateEndWarning({subject, d.not_after}, now);
  if (!soon.empty()) {
    Warning("Zertifikat", soon, "ein neues Zertifikat bei der MTS-K beantragen und ablegen");
  }
  return true;
}

void Checker::Handshake(const std::string& what, const std::string& url) {
  CurlTransport::Options options;
  options.timeout = kHandshakeTimeout;
  CurlTransport transport(certs_, options);
  HttpsRequest request;
  request.cert_store = kClientCertificateStore;
  request.cert_subject = settings_.VerwendetesZertifikat;
  request.user_agent = kUserAgent;
  request.url = url;
  request.connect_only = true;
  NoEvents events;
  try {
    transport.Send(request, events);
    Line(true, what, url + " (TLS 1.2 mit Client-Zertifikat)");
  } catch (const Failure& f) {
    Line(false, what, url + ": " + f.description(),
         "URL in Velunor.CFG, Namensauflösung, Firewall und Zertifikate im Speicher Root prüfen");
  }
}

int Checker::Run() {
  if (StationIniFile() && Database()) {
    DatabaseVersion();
    Tables();
    WritePath();
  }
  if (SettingsFile() && Certificate()) {
    Handshake("Stationsdaten-URL", settings_.UrlGrunddatenlieferung);
    Handshake("Preisdaten-URL", settings_.UrlPreisdatenlieferung);
  }
  if (db_) db_->Close();
  std::fprintf(out_, "%s\n", failed_ ? "Prüfung nicht bestanden" : "Alle Prüfungen bestanden");
  return failed_ ? 1 : 0;
}

}  // namespace

namespace {

std::vector<RequiredColumn> Named(std::initializer_list<const char*> names) {
  std::vector<RequiredColumn> columns;
  for (const char* name : names) columns.push_back({name});
  return columns;
}

// A history table: its key first, then the copied table's columns.
std::vector<RequiredColumn> History(RequiredColumn key, std::vector<RequiredColumn> copied) {
  copied.insert(copied.begin(), key);
  return copied;
}

RequiredColumn Unnamed(const char* name, ColumnType type, int width = 0) {
  return {name, false, type, width};
}

// The opening times as the station synchronisation writes them: texts of
// "hh:mm:ss" and the eight day flags.
std::vector<RequiredColumn> TimesColumns() {
  return {{"station"},
          {"satz"},
          Unnamed("ps_typ", ColumnType::kInteger),
          {"ps_starttime", true, ColumnType::kText, 8},
          {"ps_endtime", true, ColumnType::kText, 8},
          {"ps_wochentag", true, ColumnType::kText, 8},
          {"ps_starttime2", true, ColumnType::kText, 8},
          {"ps_endtime2", true, ColumnType::kText, 8}};
}

// Station, slot, closed flag and the two 25-character times. The station
// column is named: the delete and the history copy select by it.
std::vector<RequiredColumn> OverrideColumns(bool station_named) {
  return {station_named ? RequiredColumn{"station", true, ColumnType::kInteger}
                        : Unnamed("station", ColumnType::kInteger),
          Unnamed("ps_override_nr", ColumnType::kInteger),
          Unnamed("ps_closed", ColumnType::kInteger), Unnamed("ps_start", ColumnType::kText, 25),
          Unnamed("ps_end", ColumnType::kText, 25)};
}

}  // namespace

const std::vector<RequiredTable>& RequiredTables() {
  static const std::vector<RequiredColumn> kStation =
      Named({"station", "status", "ps_id", "ps_version", "ps_version_time", "ps_name", "ps_brand",
             "ps_street", "ps_housenumber", "ps_postcode", "ps_place", "ps_latitude",
             "ps_longitude", "ps_federalstate"});
  static const std::vector<RequiredColumn> kPrice = [] {
    std::vector<RequiredColumn> columns = Named({"station", "status"});
    for (const Fuel& fuel : kFuels) {
      columns.push_back({fuel.priceColumn});
      columns.push_back({fuel.timeColumn});
    }
    return columns;
  }();
  static const RequiredColumn kHistoryKey = Unnamed("historie_id", ColumnType::kAutoIncrement);
  static const RequiredColumn kDetailKey = Unnamed("historie_id", ColumnType::kInteger);
  static const std::vector<RequiredTable> kTables = {
      {"lox_station", Named({"station", "name1", "name2", "matchcode", "strasse", "plzort"})},
      {"lox_station_mts",
       Named({"station", "status", "ps_aktiv", "ps_aktiv_time", "ps_id", "ps_version", "ps_brand",
              "ps_latitude", "ps_longitude", "Bundesland_ID", "gt_aktiv", "gt_id"})},
      {"lox_station_mts_times",
       Named({"station", "zeitraum", "ps_time1", "ps_time2", "ps_time3", "ps_time4", "ps_time5",
              "ps_time6", "start_datum", "end_datum"})},
      {"lox_station_produkte",
       Named({"station", "station_produktnummer", "zentrale_produktnummer", "produkt_aktiv"})},
      {"lox_station_aktuelle_preise", Named({"station", "produkt", "preis", "datum"})},
      {"stammdaten", Named({"id", "value"})},
      {"stammdaten_produkte", Named({"nummer", "kuerzel"})},
      {"mts_holiday_identifier", Named({"nummer", "identifier"})},
      {"mts_petrolstation", kStation},
      {"mts_petrolstation_historie", History(kHistoryKey, kStation), true, "mts_petrolstation"},
      {"mts_petrolstation_times", TimesColumns(), true},
      {"mts_petrolstation_times_historie", History(kDetailKey, TimesColumns()), true},
      {"mts_petrolstation_price", kPrice},
      {"mts_petrolstation_price_historie", History(kHistoryKey, kPrice), true,
       "mts_petrolstation_price"},
      {"mts_petrolstation_override_times", OverrideColumns(true), true},
      {"mts_petrolstation_override_times_historie", History(kDetailKey, OverrideColumns(false)),
       true},
      {"mts_petrolstation_log",
       {Unnamed("log_id", ColumnType::kAutoIncrement), Unnamed("log_zeit", ColumnType::kTime),
        Unnamed("log_code", ColumnType::kInteger), Unnamed("log_text", ColumnType::kText, 80)},
       true},
  };
  return kTables;
}

std::pair<int, int> MariaDbVersion(const std::string& version) {
  if (version.find("MariaDB") == std::string::npos) return {0, 0};
  char* end = nullptr;
  const long major = std::strtol(version.c_str(), &end, 10);
  if (end == version.c_str() || *end != '.') return {0, 0};
  const long minor = std::strtol(end + 1, nullptr, 10);
  return {static_cast<int>(major), static_cast<int>(minor)};
}

int RunSetupCheck(const ServiceSetup& setup, Clock& clock, std::FILE* out) {
  return Checker(setup, clock, out).Run();
}

}  // namespace velunor
