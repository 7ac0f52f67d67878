#include "tests/test_support.h"

#include <arpa/inet.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

#include "service/db/lox_stammdaten.h"
#include "service/db/verbindung.h"
#include "shared/settings_file.h"

namespace velunor::testing {

namespace {
std::string EnvOr(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? v : fallback;
}
}  // namespace

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

std::filesystem::path SourceRoot() { return EnvOr("VELUNOR_ROOT", VELUNOR_SOURCE_ROOT); }

std::vector<std::string> ReadErrorLog(const std::filesystem::path& program_dir) {
  std::vector<std::string> lines;
  std::ifstream in(program_dir / "MTS-Error-0.LOG", std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.output.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

void WriteStationIni(const std::filesystem::path& program_dir, const std::string& server,
                     const std::string& user, const std::string& password) {
  const std::filesystem::path file = program_dir / "STATION.INI";
  std::ofstream(file, std::ios::binary) << "Test\r\n"
                                        << server << "\r\n"
                                        << user << "\r\n"
                                        << password << "\r\n";
  // As an installation leaves it: the password for the service's account only.
  std::filesystem::permissions(
      file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

void WriteSettings(const std::filesystem::path& program_dir, const std::string& subject,
                   const std::string& station_url, const std::string& price_url) {
  std::ofstream(program_dir / "Velunor.CFG", std::ios::binary) << subject << "\r\n"
                                                               << station_url << "\r\n"
                                                               << price_url << "\r\n";
}

TempDir::TempDir() {
  std::random_device rd;
  path_ = std::filesystem::temp_directory_path() /
          ("velunor-test-" + std::to_string(rd()) + std::to_string(rd()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::Read(const std::string& name) const {
  std::ifstream in(path_ / name, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void TempDir::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream(path_ / name, std::ios::binary) << bytes;
}

TestEnv::TestEnv()
    : clock(DateTime{2026, 12, 6, 9, 5, 0}),
      log(dir.path(), clock),
      env{dir.path(), clock, log, service, host, RealFileSystem()} {}

std::vector<std::string> TestEnv::ErrorLines() const { return ReadErrorLog(dir.path()); }

std::string TestDb::Host() { return EnvOr("VELUNOR_TEST_DB_HOST", "127.0.0.1"); }
std::string TestDb::Port() { return EnvOr("VELUNOR_TEST_DB_PORT", "3306"); }
std::string TestDb::Socket() { return EnvOr("VELUNOR_TEST_DB_SOCKET", ""); }

std::unique_ptr<Connection> TestDb::Connect() {
  auto c = std::make_unique<Connection>();
  c->Open(std::string("DRIVER={") + kDriver31 + "};SERVER=" + Host() + ";PORT=" + Port() +
              ";DATABASE=lox;UID=" + kUser + ";PWD=" + kPassword + ";Option=11;CHARSET=utf8mb4",
          10);
  return c;
}

void TestDb::Reset(Connection& db) {
  static const char* kTables[] = {"lox_station",
                                  "lox_station_mts",
                                  "lox_station_mts_times",
                                  "lox_station_produkte",
                                  "lox_station_aktuelle_preise",
                                  "stammdaten",
                                  "stammdaten_produkte",
                                  "mts_holiday_identifier",
                                  "mts_petrolstation",
                                  "mts_petrolstation_historie",
                                  "mts_petrolstation_times",
                                  "mts_petrolstation_times_historie",
                                  "mts_petrolstation_price",
                                  "mts_petrolstation_price_historie",
                                  "mts_petrolstation_override_times",
                                  "mts_petrolstation_override_times_historie",
                                  "mts_petrolstation_log",
                                  "velunor_state",
                                  "velunor_lease",
                                  "velunor_pending_station"};
  for (const char* t : kTables) db.Execute(std::string("truncate table ") + t);
  // Triggers a test adds to make the server refuse or wait (named test_...).
  const ResultSet triggers = db.Query(
      "select trigger_name from information_schema.triggers where trigger_schema = database() "
      "and trigger_name like 'test\\_%'");
  for (size_t r = 0; r < triggers.RecordCount(); ++r) {
    db.Execute("drop trigger if exists " + triggers.Text(r, "trigger_name"));
  }
  // The seed rows are the schema file's INSERT statements.
  std::ifstream in(SourceRoot() / "sql" / "lox-schema.sql");
  const std::string schema((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (schema.empty()) throw std::runtime_error("sql/lox-schema.sql not found");
  size_t pos = 0;
  while ((pos = schema.find("INSERT IGNORE", pos)) != std::string::npos) {
    const size_t end = schema.find(';', pos);
    db.Execute(schema.substr(pos, end - pos));
    pos = end;
  }
}

DbTestEnv::DbTestEnv() : db(env) {
  db.DbServer = TestDb::Server();
  db.DbBenutzer = TestDb::kUser;
  db.DbPasswort = TestDb::kPassword;
  if (DB_Verbinden(db, db.DbServer) != 1) {
    throw std::runtime_error("private MariaDB not reachable at " + db.DbServer +
                             " (run the tests through scripts/test)");
  }
  TestDb::Reset(db.db());
}

void LoadStammdaten(DbState& db) {
  DB_LOXStammdaten(db, ReadSettingsFile(db.env.program_dir / kSettingsFileName));
}

}  // namespace velunor::testing
