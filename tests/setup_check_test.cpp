// `velunor --check` as an installer runs it: the program against the private
// MariaDB, the test certificates and the endpoint simulator, once on a good
// setup and once for each broken piece, which its own line must name.
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "service/core/setup_check.h"
#include "tests/expect_text.h"
#include "tests/service_fixture.h"
#include "tests/test_support.h"

namespace velunor {
namespace {

using testing::TestDb;

using CheckRun = testing::CommandResult;

class SetupCheckTest : public testing::ServiceProcessTest {
 protected:
  SetupCheckTest() : program_(WriteProgramDir(TestDb::Server())) { TestDb::Reset(*sql_); }

  void WriteSettings(const std::string& subject, const std::string& station_url) {
    testing::WriteSettings(program_, subject, station_url, sim_.Url("/mdm/pricedata"));
  }

  // `faketime`: a FAKETIME value for libfaketime, "" for the real time.
  CheckRun Check(const std::string& faketime = "") {
    const std::string at = faketime.empty() ? ""
                                            : "LD_PRELOAD=" + std::string(VELUNOR_LIBFAKETIME) +
                                                  " FAKETIME='" + faketime + "' ";
    return testing::RunCommand(at + VELUNOR_BIN + " --check --program-dir " + program_.string() +
                               " --cert-store " + certs_.store.string());
  }

  // The line of the check `what`.
  static std::string LineOf(const CheckRun& run, const std::string& what) {
    for (const std::string& line : testing::SplitLines(run.output)) {
      if (line.find(" " + what + ": ") != std::string::npos) return line;
    }
    return "<no line for " + what + ">";
  }

  static bool Failed(const std::string& line) { return line.starts_with("FEHLER  "); }

  // Runs the check into `run`; it must fail, on the line of `what`, which is returned.
  std::string FailedLine(CheckRun& run, const std::string& what, const std::string& faketime = "") {
    run = Check(faketime);
    EXPECT_EQ(run.status, 1) << run.output;
    const std::string line = LineOf(run, what);
    EXPECT_TRUE(Failed(line)) << run.output;
    return line;
  }

  std::unique_ptr<Connection> sql_ = TestDb::Connect();
  const std::filesystem::path program_;
};

TEST_F(SetupCheckTest, AGoodSetupPassesEveryCheckAndSendsNothing) {
  const CheckRun run = Check();
  EXPECT_EQ(run.status, 0) << run.output;
  for (const char* what : {"STATION.INI", "Datenbank", "Datenbankversion", "Tabellen",
                           "Velunor.CFG", "Zertifikat", "Stationsdaten-URL", "Preisdaten-URL"}) {
    EXPECT_TRUE(LineOf(run, what).starts_with("OK      ")) << what << "\n" << run.output;
  }
  EXPECT_TRUE(Contains(run.output, "Alle Prüfungen bestanden"));
  EXPECT_EQ(sim_.RequestCount(), 0) << "the handshake sends no request";
  EXPECT_FALSE(std::filesystem::exists(program_ / "MTS-Error-0.LOG"));
}

// What the package leaves for the operator to fill in, and a STATION.INI
// that stands there but is no file to read, fail before any connection.
TEST_F(SetupCheckTest, ThePackagesPlaceholderAndAnUnreadableStationIniFail) {
  const std::filesystem::path ini = program_ / "STATION.INI";
  std::ofstream(ini, std::ios::binary | std::ios::trunc)
      << "LOX\r\nlocalhost:3306\r\nvelunor\r\nKENNWORT\r\n";  // as deploy/prepare-state writes it
  CheckRun run;
  const std::string line = FailedLine(run, "STATION.INI");
  EXPECT_TRUE(Contains(line, "Platzhalter"));
  EXPECT_TRUE(Contains(line, "-> Server[:Port], Benutzer und Kennwort der Datenbank eintragen"));
  EXPECT_EQ(LineOf(run, "Datenbank"), "<no line for Datenbank>") << run.output;

  std::filesystem::remove(ini);
  std::filesystem::create_directory(ini);
  EXPECT_TRUE(Contains(FailedLine(run, "STATION.INI"),
                       ini.string() + " kann nicht gelesen werden: Is a directory"));
}

TEST_F(SetupCheckTest, EachBrokenPieceIsNamedOnItsLine) {
  testing::WriteStationIni(program_, TestDb::Server(), TestDb::kUser, "falsch");
  CheckRun run;
  const std::string line = FailedLine(run, "Datenbank");
  EXPECT_TRUE(Contains(line, "Fehler 1045"));
  EXPECT_FALSE(Contains(line, "falsch")) << "never the password";
  testing::WriteStationIni(program_, TestDb::Server(), TestDb::kUser, TestDb::kPassword);

  sql_->Execute(
      "alter table stammdaten_produkte change kuerzel kurz VARCHAR(20) NOT NULL DEFAULT ''");
  EXPECT_TRUE(Contains(FailedLine(run, "Tabellen"), "Spalte stammdaten_produkte.kuerzel"));
  sql_->Execute(
      "alter table stammdaten_produkte change kurz kuerzel VARCHAR(20) NOT NULL DEFAULT ''");

  WriteSettings("CN=Niemand, O=Nirgendwo, C=DE", sim_.Url("/mdm/stationdata"));
  EXPECT_TRUE(Contains(FailedLine(run, "Zertifikat"), "kein Zertifikat \"CN=Niemand"));
  WriteSettings(certs_.client_subject, sim_.Url("/mdm/stationdata"));

  run = Check("@2045-12-11 09:00:00");
  EXPECT_EQ(run.status, 0) << "near its end, still valid: " << run.output;
  EXPECT_TRUE(Contains(LineOf(run, "Zertifikat"), "(noch 20 Tage)")) << run.output;
  EXPECT_TRUE(Contains(run.output, "WARNUNG Zertifikat: Das Client-Zertifikat"));

  EXPECT_TRUE(Contains(FailedLine(run, "Zertifikat", "+40y"), "abgelaufen"));

  WriteSettings(certs_.client_subject, "https://127.0.0.1:1/mdm/stationdata");
  EXPECT_TRUE(Contains(FailedLine(run, "Stationsdaten-URL"), "https://127.0.0.1:1/"));
  EXPECT_FALSE(Failed(LineOf(run, "Preisdaten-URL"))) << run.output;
}

// The columns the service writes only by position, under names of the
// operator's own: the check passes. A text too narrow for what goes to its
// place fails; a table without transactions is a warning with its mend.
TEST_F(SetupCheckTest, ColumnsWrittenByPositionAreCheckedByPlaceAndType) {
  const std::vector<std::pair<std::string, std::pair<std::string, std::string>>> renamed = {
      {"mts_petrolstation_historie", {"historie_id", "hid"}},
      {"mts_petrolstation_price_historie", {"historie_id", "hid"}},
      {"mts_petrolstation_times_historie", {"historie_id", "hid"}},
      {"mts_petrolstation_override_times_historie", {"historie_id", "hid"}},
      {"mts_petrolstation_override_times_historie", {"station", "tankstelle"}},
      {"mts_petrolstation_times", {"ps_typ", "typ"}},
      {"mts_petrolstation_times_historie", {"ps_typ", "typ"}},
      {"mts_petrolstation_override_times", {"ps_override_nr", "nr"}},
      {"mts_petrolstation_override_times", {"ps_closed", "zu"}},
      {"mts_petrolstation_override_times", {"ps_start", "beginn"}},
      {"mts_petrolstation_override_times", {"ps_end", "ende"}},
      {"mts_petrolstation_log", {"log_id", "nr"}},
      {"mts_petrolstation_log", {"log_zeit", "zeit"}},
      {"mts_petrolstation_log", {"log_code", "code"}},
      {"mts_petrolstation_log", {"log_text", "meldung"}},
  };
  const testing::OnExit restore([&] {
    sql_->Execute("alter table mts_petrolstation_times engine = InnoDB");
    sql_->Execute(
        "alter table mts_petrolstation_override_times modify beginn varchar(25) "
        "not null default ''");
    for (const auto& [table, names] : renamed) {
      sql_->Execute("alter table " + table + " rename column " + names.second + " to " +
                    names.first);
    }
  });
  for (const auto& [table, names] : renamed) {
    sql_->Execute("alter table " + table + " rename column " + names.first + " to " + names.second);
  }
  CheckRun run = Check();
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(LineOf(run, "Tabellen").starts_with("OK      ")) << run.output;
  EXPECT_EQ(LineOf(run, "Schreibweg"),
            "OK      Schreibweg: Stationsdaten werden gebündelt in einer Transaktion geschrieben, "
            "Preisdaten gebündelt in einer Transaktion");

  sql_->Execute("alter table mts_petrolstation_override_times modify beginn varchar(20) not null");
  sql_->Execute("alter table mts_petrolstation_times engine = MyISAM");
  run = Check();
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Contains(LineOf(run, "Tabellen"),
                       "passt nicht: Spalte 4 von mts_petrolstation_override_times (beginn) muss "
                       "ein Text mit mindestens 25 Zeichen sein, ist varchar(20)"))
      << run.output;
  EXPECT_TRUE(Contains(run.output,
                       "WARNUNG Schreibweg: Stationsdaten werden Station für Station "
                       "geschrieben, Preisdaten gebündelt in einer Transaktion (Tabellen ohne "
                       "Transaktionen: mts_petrolstation_times (MyISAM)); "));
  EXPECT_TRUE(Contains(run.output, " -> ALTER TABLE mts_petrolstation_times ENGINE=InnoDB\n"));
}

// The two tables the service addresses by name may have their columns in
// any order; their history tables must follow that order after the key.
TEST_F(SetupCheckTest, MainTablesInAnotherColumnOrderPassWhenTheirHistoryFollows) {
  const auto move = [&](const std::string& table, const std::string& column,
                        const std::string& where) {
    sql_->Execute("alter table " + table + " modify " + column + " " + where);
  };
  const testing::OnExit restore([&] {
    move("mts_petrolstation", "ps_name varchar(100) null", "after ps_version_time");
    move("mts_petrolstation_historie", "ps_name varchar(100) null", "after ps_version_time");
    move("mts_petrolstation_price", "ps_pricediesel varchar(10) null", "after ps_pricee10_time");
    move("mts_petrolstation_price_historie", "ps_pricediesel varchar(10) null",
         "after ps_pricee10_time");
  });
  move("mts_petrolstation", "ps_name varchar(100) null", "first");
  move("mts_petrolstation_historie", "ps_name varchar(100) null", "after historie_id");
  move("mts_petrolstation_price", "ps_pricediesel varchar(10) null", "after station");
  move("mts_petrolstation_price_historie", "ps_pricediesel varchar(10) null", "after station");
  CheckRun run = Check();
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(LineOf(run, "Tabellen").starts_with("OK      ")) << run.output;

  // A history that keeps the schema's order no longer matches its table.
  move("mts_petrolstation_price_historie", "ps_pricediesel varchar(10) null",
       "after ps_pricee10_time");
  run = Check();
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_TRUE(Contains(LineOf(run, "Tabellen"),
                       "Spalte mts_petrolstation_price_historie.ps_pricediesel an Stelle 3 (wie in "
                       "mts_petrolstation_price)"))
      << run.output;
}

// The check's list of tables and columns is the schema's, no more, no less.
TEST(SetupCheckTables, AreTheSchemasTablesAndColumns) {
  const std::string schema =
      testing::ReadFile(std::string(VELUNOR_SOURCE_ROOT) + "/sql/lox-schema.sql");
  std::set<std::string> in_schema;
  const std::regex table(R"(CREATE TABLE IF NOT EXISTS (\w+) \(([^;]*)\n\))");
  for (std::sregex_iterator it(schema.begin(), schema.end(), table), end; it != end; ++it) {
    if (IsTableTheServiceMakes((*it)[1].str())) continue;
    std::istringstream body((*it)[2].str());
    for (std::string line; std::getline(body, line);) {
      std::istringstream words(line);
      std::string column;
      if (!(words >> column) || column == "PRIMARY" || column == "KEY" || column == "UNIQUE") {
        continue;
      }
      in_schema.insert((*it)[1].str() + "." + column);
    }
  }
  std::set<std::string> checked;
  for (const RequiredTable& t : RequiredTables()) {
    for (const RequiredColumn& c : t.columns) checked.insert(std::string(t.name) + "." + c.name);
  }
  ASSERT_FALSE(in_schema.empty());
  EXPECT_EQ(checked, in_schema);
}

}  // namespace
}  // namespace velunor
