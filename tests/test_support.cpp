#include "tests/test_support.h"

#include <cstdlib>
#include <sstream>
#include <stdexcept>

#include "service/db/db_hand_ins.h"
#include "service/db/lox_stammdaten.h"
#include "shared/settings_file.h"
#include "tests/small_network.h"

namespace velunor::testing {

namespace {
std::string EnvOr(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? v : fallback;
}
}  // namespace

std::string TestDb::Host() { return EnvOr("VELUNOR_TEST_DB_HOST", "127.0.0.1"); }
std::string TestDb::Port() { return EnvOr("VELUNOR_TEST_DB_PORT", "3306"); }
std::string TestDb::Socket() { return EnvOr("VELUNOR_TEST_DB_SOCKET", ""); }

std::unique_ptr<Connection> TestDb::Connect() { return Connect(Host(), Port()); }

std::unique_ptr<Connection> TestDb::Connect(const std::string& host, const std::string& port) {
  auto c = std::make_unique<Connection>();
  c->Open(std::string("DRIVER={") + kDriver31 + "};SERVER=" + host + ";PORT=" + port +
              ";DATABASE=lox;UID=" + kUser + ";PWD=" + kPassword + ";Option=11;CHARSET=utf8mb4",
          10);
  return c;
}

void TestDb::Reset(Connection& db) {
  std::istringstream tables(
      "lox_station lox_station_mts lox_station_mts_times lox_station_produkte "
      "lox_station_aktuelle_preise stammdaten stammdaten_produkte "
      "mts_holiday_identifier mts_petrolstation mts_petrolstation_historie "
      "mts_petrolstation_times mts_petrolstation_times_historie "
      "mts_petrolstation_price mts_petrolstation_price_historie "
      "mts_petrolstation_override_times mts_petrolstation_override_times_historie "
      "mts_petrolstation_log velunor_state velunor_lease velunor_pending_station");
  for (std::string t; tables >> t;) db.Execute("truncate table " + t);
  // Triggers a test adds to make the server refuse or wait (named test_...).
  const ResultSet triggers = db.Query(
      "select trigger_name from information_schema.triggers where trigger_schema = database() "
      "and trigger_name like 'test\\_%'");
  for (size_t r = 0; r < triggers.RecordCount(); ++r) {
    db.Execute("drop trigger if exists " + triggers.Text(r, "trigger_name"));
  }
  // The seed rows are the schema file's INSERT statements.
  const std::string schema = ReadFile(SourceRoot() / "sql" / "lox-schema.sql");
  if (schema.empty()) throw std::runtime_error("sql/lox-schema.sql not found");
  size_t pos = 0;
  while ((pos = schema.find("INSERT IGNORE", pos)) != std::string::npos) {
    const size_t end = schema.find(';', pos);
    db.Execute(schema.substr(pos, end - pos));
    pos = end;
  }
}

std::unique_ptr<Connection> ConnectToStationNetwork() {
  auto db = TestDb::Connect();
  TestDb::Reset(*db);
  InsertStationNetwork(*db);
  return db;
}

Status ConnectAsTestAccount(DbState& db, const std::string& server, const std::string& password) {
  db.DbServer = server;
  db.DbBenutzer = TestDb::kUser;
  db.DbPasswort = password;
  return DB_Verbinden(db, server);
}

DbTestEnv::DbTestEnv() : db(env) {
  if (!ConnectAsTestAccount(db, TestDb::Server()).ok()) {
    throw std::runtime_error("private MariaDB not reachable at " + db.DbServer +
                             " (run the tests through scripts/test)");
  }
  TestDb::Reset(db.db());
}

std::string DbTestEnv::Rows(const std::string& query) { return QueryRows(sql(), query); }

OverrideTime OverridePeriod(int closed, const std::string& start, const std::string& end) {
  OverrideTime o;
  o.active = 1;
  o.closed = closed;
  o.periodStart = start;
  o.periodEnd = end;
  return o;
}

void LoadStammdaten(DbState& db) {
  DB_LOXStammdaten(db, ReadSettingsFile(db.env.program_dir / kSettingsFileName));
}

}  // namespace velunor::testing
