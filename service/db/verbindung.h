// Opening and closing the service's one database connection: the three
// connection-string forms, host:port splitting and the fallback from the
// 3.1 to the 2.0 MariaDB ODBC driver when the first is not installed.
#pragma once

#include <string>

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

// Opens a new DbVerbindung (replacing the old one); 1 when open, 0 otherwise.
// At most two attempts: the 2.0 driver is tried only when the 3.1 driver or
// its data source is missing. Writes no error-log entry; why it failed is
// left in state.connect_diagnostic (without the password).
int DB_Verbinden(DbState& state, const std::string& server);

// Closes and releases the connection if DbVerbunden; never fails.
void DB_Trennen(DbState& state);

}  // namespace velunor
