// The database part of the process state: the one connection of the run, the
// station file's access values that every reconnect reads again, and what the
// database procedures load and keep between runs (settings, station table).
#pragma once

#include <memory>
#include <string>

#include "service/common/env.h"
#include "service/db/odbc.h"
#include "service/db/station_table.h"
#include "shared/settings_file.h"

namespace velunor {

struct DbState {
  explicit DbState(Env& e) : env(e) {}

  Env& env;
  // DbVerbindung; replaced by every DB_Verbinden, null before the first.
  std::unique_ptr<Connection> DbVerbindung;
  int DbVerbunden = 0;
  std::string DbServer;
  std::string DbBenutzer;
  std::string DbPasswort;
  // Appended to the string handed to the driver manager: the connection's
  // character set, so that umlauts arrive as UTF-8 both ways.
  std::string connection_suffix = ";CHARSET=utf8mb4";
  // Head-office settings, the transmission settings file, the station table
  // and the last read of the current prices.
  MasterData stammdaten;
  TransmissionSettings settings;
  StationTable stations;
  StationPublicationIndex published;
  CurrentPrices current_prices;
  // Rows of lox_station seen by the previous station synchronisation; 0 = not yet known.
  int32_t LetzteStationsanzahl = 0;

  // Open attempts made by the last DB_Verbinden (1, or 2 after a driver fallback).
  int connect_attempts = 0;

  // The shared connection; throws the lost-connection failure when there is none.
  Connection& db() {
    if (!DbVerbindung) {
      throw DbError(kErrConnectionLost, "Keine Verbindung zur Datenbank", "08003", 0);
    }
    return *DbVerbindung;
  }
};

}  // namespace velunor
