// The database part of the process state: the one connection of the run, the
// station file's access values as handed in for every connection, and what
// the database procedures load and keep between runs (settings, station table).
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "service/common/env.h"
#include "service/common/price_warning.h"
#include "service/db/odbc.h"
#include "service/db/reporter_lease.h"
#include "service/db/station_table.h"
#include "shared/settings_file.h"

namespace velunor {

// What the service adds to every connection string: UTF-8, and time-outs
// that MariaDB Connector/ODBC honours (its ODBC time-out attributes it does
// not): connecting ends after 10 s, a read or write after 30 s without an
// answer, so a stopped server or a half-open connection is noticed as a lost
// connection within 30 s.
inline constexpr const char* kConnectionOptions =
    ";CHARSET=utf8mb4;CONN_TIMEOUT=10;READ_TIMEOUT=30;WRITE_TIMEOUT=30";

// Stations synchronised but not yet acknowledged by the MTS-K (see
// station_delivery.h).
struct StationDelivery {
  bool loaded = false;                // the file of an earlier run has been read
  std::set<long> pending;             // synchronised, not yet acknowledged
  std::set<long> carried;             // pending stations in the publication under way
  std::optional<std::int64_t> since;  // when the oldest pending station was synchronised
};

// What the server says about the tables written in batches (see
// batch_write.h), read once per connection.
struct BatchTables {
  // Tables whose engine keeps no transactions, with the engine ("" for a
  // table the server did not list).
  std::map<std::string, std::string> without_transactions;
  std::set<std::string> transactional;
  // The first column of each history table: the key the history rows are
  // filed under, whatever the operator named it.
  std::map<std::string, std::string> history_key;
};

// The run's database session: the one connection, the station file's access
// values as handed in for every connection, and what holds for that
// connection: the batch tables it read, the lease it writes under, the step
// under way. What the batch layer needs; the writing procedures take it
// instead of the whole state.
struct DbSession {
  // DbVerbindung; replaced by every DB_Verbinden, null before the first.
  std::unique_ptr<Connection> DbVerbindung;
  int DbVerbunden = 0;
  std::string DbServer;
  std::string DbBenutzer;
  std::string DbPasswort;
  // Appended to the string handed to the driver manager: the connection's
  // character set, so that umlauts arrive as UTF-8 both ways, and the bounds
  // of every wait on the server (see connect.h).
  std::string connection_suffix = kConnectionOptions;
  // Read by the first batch of a connection; reset by DB_Verbinden.
  std::optional<BatchTables> batch_tables;
  // Set while this process keeps the reporter lease: a batch outside a step
  // of the scheduler confirms it as its first statement.
  std::optional<LeaseClaim> lease;
  // A step of the reporter is under way in one transaction that began by
  // confirming the lease: a batch is a savepoint within it.
  bool in_step = false;
  // A batch found the lease no longer this process's and wrote nothing.
  bool lease_refused = false;
  // Open attempts made by the last DB_Verbinden (1, or 2 after a driver fallback).
  int connect_attempts = 0;

  // The shared connection; throws the lost-connection failure when there is none.
  Connection& db() { return Connected(DbVerbindung.get()); }
};

// The session and what the database procedures load and keep between runs.
struct DbState : DbSession {
  explicit DbState(Env& e) : env(e) {}

  Env& env;
  // Head-office settings, the transmission settings file, the station table
  // and the last read of the current prices.
  MasterData stammdaten;
  TransmissionSettings settings;
  StationTable stations;
  StationPublicationIndex published;
  CurrentPrices current_prices;
  // What the intake finds unusual in a new price (price_plausibility.h).
  PlausibilityRule plausibility;
  // Rows of lox_station seen by the previous station synchronisation; 0 = not yet known.
  int32_t LetzteStationsanzahl = 0;
  StationDelivery delivery;

  // The folder the LPG-portal file must lie in (--lpg-dir); empty: any folder
  // but the program directory.
  std::filesystem::path lpg_dir;
  // The export file's path was refused and that was logged: once per run.
  bool lpg_refusal_told = false;
};

}  // namespace velunor
