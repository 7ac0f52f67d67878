// `velunor --check`: what an installer runs before the first start. Reads
// STATION.INI, connects to the database (naming the driver's diagnostic when
// it cannot), checks the server's version and every table and column the
// service uses (a table written by position by the place and type of its
// columns), says how the station and price rows will be written (a WARNUNG
// for tables without transactions), reads Velunor.CFG, finds the client certificate (store,
// file, validity, key), and opens a TLS 1.2 connection with it to both URLs
// without sending anything. One line per check: "OK", "WARNUNG" or "FEHLER",
// what was found, and for a fault how to mend it. Writes no log file.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "service/common/clock.h"
#include "service/core/service.h"
#include "service/db/acknowledgements.h"
#include "service/db/reporter_lease.h"
#include "service/db/station_delivery.h"

namespace velunor {

// What a column written by position must hold at its place.
enum class ColumnType { kNamedOnly, kInteger, kAutoIncrement, kText, kTime };

struct RequiredColumn {
  const char* name;   // the schema's name
  bool named = true;  // the service names it in a statement: the name binds
  ColumnType type = ColumnType::kNamedOnly;
  int width = 0;  // least characters of a text column
};

// Every table the service reads or writes, with every column of it that the
// service names. A table written by position ("values( ... )" without a list
// of columns, or a copy with "select null, PS.*") must hold exactly its
// columns in their order; the names of the columns it never names are free.
struct RequiredTable {
  const char* name;
  std::vector<RequiredColumn> columns;
  bool by_position = false;
  // A history table filled with "select null, PS.*" from this table: after
  // its key it holds that table's columns in that table's order, whichever
  // order the operator's schema gives them.
  const char* copy_of = nullptr;
};
const std::vector<RequiredTable>& RequiredTables();

// The service's own tables, which it makes itself when missing: not required.
inline bool IsTableTheServiceMakes(const std::string& table) {
  return table == kStateTable || table == kLeaseTable || table == kPendingStationsTable;
}

// The lowest MariaDB version with everything the statements use (window
// functions, max_statement_time); nullopt-like {0, 0} when `version` is not
// a MariaDB version text such as "10.11.6-MariaDB-0+deb12u1".
std::pair<int, int> MariaDbVersion(const std::string& version);

// Runs every check, prints the lines to `out`; 0 when no check failed, 1 otherwise.
int RunSetupCheck(const ServiceSetup& setup, Clock& clock, std::FILE* out);

}  // namespace velunor
