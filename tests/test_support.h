// Test helpers: a temporary directory, a recording window host, a complete
// Env with a fake clock, and the private `lox` database that scripts/test
// starts (its address comes from VELUNOR_TEST_DB_* variables).
#pragma once

#include <netinet/in.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "service/common/clock.h"
#include "service/common/env.h"
#include "service/common/fehler_log.h"
#include "service/common/window_model.h"
#include "service/common/window_view.h"
#include "service/db/db_state.h"
#include "service/db/odbc.h"

namespace velunor::testing {

// The repository's root: VELUNOR_ROOT (set by scripts/test), else the tree
// the tests were built from.
std::filesystem::path SourceRoot();

// The lines of the error log MTS-Error-0.LOG in `program_dir`, without line
// ends; empty when there is none.
std::vector<std::string> ReadErrorLog(const std::filesystem::path& program_dir);

// The whole file; "" when it cannot be read.
std::string ReadFile(const std::filesystem::path& file);

// 127.0.0.1:`port`, for the tests' own sockets.
sockaddr_in Loopback(int port);

// A shell command's exit status (-1 when it did not exit normally) and what
// it wrote to standard output and standard error.
struct CommandResult {
  int status = -1;
  std::string output;
};
CommandResult RunCommand(const std::string& command);

// The lines joined with a line end each, for failure messages.
std::string Joined(const std::vector<std::string>& lines);

// STATION.INI with its four values, one per line.
void WriteStationIni(const std::filesystem::path& program_dir, const std::string& server,
                     const std::string& user, const std::string& password);
// Velunor.CFG with its three lines.
void WriteSettings(const std::filesystem::path& program_dir, const std::string& subject,
                   const std::string& station_url, const std::string& price_url);

// A fresh directory under the system's temporary directory, removed at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }
  std::string Read(const std::string& name) const;  // whole file, "" if missing
  void Write(const std::string& name, const std::string& bytes) const;

 private:
  std::filesystem::path path_;
};

class RecordingHost : public WindowHost {
 public:
  void MessageBox(const std::string& text, const std::string& title) override {
    messages.push_back(text);
    titles.push_back(title);
  }
  void Repaint() override { ++repaints; }
  std::vector<std::string> messages;
  std::vector<std::string> titles;
  int repaints = 0;
};

// Everything a procedure needs, built fresh per test: 2026-12-06 09:05:00.
struct TestEnv {
  TestEnv();
  TempDir dir;
  FakeClock clock;
  FehlerLog log;
  ServiceState service;
  // The operator window as a view of `service`, for checks of what it shows.
  WindowModel window;
  WindowView view{service, window};
  RecordingHost host;
  Env env;
  // Lines of MTS-Error-0.LOG.
  std::vector<std::string> ErrorLines() const;
};

// The private server started by scripts/test.
struct TestDb {
  static std::string Host();
  static std::string Port();
  static std::string Socket();
  // "127.0.0.1:<port>" as STATION.INI would name it.
  static std::string Server() { return Host() + ":" + Port(); }
  static constexpr const char* kUser = "velunor";
  static constexpr const char* kPassword = "velunor";
  // A direct connection to `lox` as the test account.
  static std::unique_ptr<Connection> Connect();
  // Empties every table of `lox` and puts back the schema's seed rows.
  static void Reset(Connection& db);
};

// A TestEnv with a DbState connected through DB_Verbinden to a reset `lox`.
struct DbTestEnv : TestEnv {
  DbTestEnv();
  DbState db;
  Connection& sql() { return db.db(); }
};

// DB_LOXStammdaten with Velunor.CFG as the program directory of `db` holds it
// now, read as the service reads it for each load.
void LoadStammdaten(DbState& db);

}  // namespace velunor::testing
