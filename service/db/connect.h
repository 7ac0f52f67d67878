// Opening and closing the service's one database connection: the three
// connection-string forms, host:port splitting and the fallback from the
// 3.1 to the 2.0 MariaDB ODBC driver when the first is not installed.
#pragma once

#include <memory>
#include <string>

#include "service/common/fehler_log.h"
#include "service/common/status.h"

#include "service/db/db_state.h"

namespace velunor {

inline constexpr const char* kDriver31 = "MariaDB ODBC 3.1 Driver";
inline constexpr const char* kDriver20 = "MariaDB ODBC 2.0 Driver";

// True when `entry` holds a colon; host = text before the first colon, port =
// the rest. Without a colon host and port are left as they were.
bool IPPort(const std::string& entry, std::string& host, std::string& port);

// The full connection string, "Provider=MSDASQL;DRIVER={...};..." for one driver.
std::string ConnectionString(const std::string& driver, const std::string& server,
                             const std::string& user, const std::string& password);

// What a connection to the lox database is opened with.
struct ConnectionRequest {
  std::string server;  // STATION.INI's DbServer: "" (the local default), host:port or a host
  std::string user;
  std::string password;
  std::string suffix = kConnectionOptions;  // appended to the driver manager's string
  // Above 0: the reporter lease's length, which bounds a session idle inside a step.
  int lease_seconds = 0;
};

// Opens a new connection into `connection` (never null afterwards; open
// only when ok). At most two attempts, counted in `attempts` (may be null):
// the 2.0 driver is tried only when the 3.1 driver or its data source is
// missing. Not ok:
// kErrConnectionLost with why, as the driver said it (SQLSTATE, its number
// and text, never the password; "" when it said nothing). Only a server
// entry that cannot be split is logged, under "IPPort".
Status OpenConnection(const ConnectionRequest& request, FehlerLog& log,
                      std::unique_ptr<Connection>* connection, int* attempts = nullptr);

// OpenConnection for the session's DbVerbindung (replacing the old one),
// with its access values, suffix and lease; forgets the batch tables read
// over the old one. Only `log` learns of a server entry that cannot be split.
Status DB_Verbinden(DbSession& session, FehlerLog& log, const std::string& server);

// Closes and releases the session's connection if DbVerbunden; never fails.
void DB_Trennen(DbSession& session);

}  // namespace velunor
