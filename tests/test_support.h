// The database layer of the test harness, over tests/test_env.h: the
// private `lox` database that scripts/test starts (its address comes from
// VELUNOR_TEST_DB_* variables), reset to the schema's seed rows, and an Env
// connected to it.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "service/common/failure.h"
#include "service/db/db_state.h"
#include "service/db/odbc.h"
#include "service/db/station_table.h"
#include "tests/test_env.h"

namespace velunor::testing {

// The private server started by scripts/test.
struct TestDb {
  static std::string Host();
  static std::string Port();
  static std::string Socket();
  // "127.0.0.1:<port>" as STATION.INI would name it.
  static std::string Server() { return Host() + ":" + Port(); }
  static constexpr const char* kUser = "velunor";
  static constexpr const char* kPassword = "velunor";
  // A direct connection to `lox` as the test account, on this server or on
  // `host`:`port`; throws DbError when it cannot connect.
  static std::unique_ptr<Connection> Connect();
  static std::unique_ptr<Connection> Connect(const std::string& host, const std::string& port);
  // Empties every table of `lox` and puts back the schema's seed rows.
  static void Reset(Connection& db);
};

// A connection to `lox` on the private server, reset and holding the small
// station network (tests/small_network.h).
std::unique_ptr<Connection> ConnectToStationNetwork();

// DB_Verbinden of `db` to `server` (kept as its DbServer) as the test account,
// with `password` instead of the account's own when given; its result.
Status ConnectAsTestAccount(DbState& db, const std::string& server,
                            const std::string& password = TestDb::kPassword);

// A TestEnv with a DbState connected through DB_Verbinden to a reset `lox`.
struct DbTestEnv : TestEnv {
  DbTestEnv();
  DbState db;
  Connection& sql() { return db.db(); }
  // QueryRows of `query` on this connection.
  std::string Rows(const std::string& query);
};

// An active override of a station's opening times, closed or open from
// `start` to `end` (yyyy-mm-ddThh:mm:00+hh:mm).
OverrideTime OverridePeriod(int closed, const std::string& start, const std::string& end);

// DB_LOXStammdaten with Velunor.CFG as the program directory of `db` holds it
// now, read as the service reads it for each load.
void LoadStammdaten(DbState& db);

// The number and text of the failure `statement` throws; 0 when it throws none.
template <class Statement>
std::pair<int, std::string> FailureOf(Statement statement) {
  try {
    statement();
  } catch (const Failure& f) {
    return {f.number(), f.description()};
  }
  return {0, "no failure"};
}

}  // namespace velunor::testing
