// The current-price intake: one read of the whole current-price table, then a
// numeric comparison of every MTS-K fuel's price (kFuels in fuels.h) with the
// price last stored; a differing price becomes the station's pending price
// and shows in the grid. Failures are logged and the next row is handled.
#pragma once

#include "service/common/clock.h"
#include "service/common/fehler_log.h"
#include "service/common/service_state.h"
#include "service/db/odbc.h"
#include "service/db/price_plausibility.h"
#include "service/db/station_table.h"

namespace velunor {

// What the intake works on; the caller keeps each part.
struct PriceIntake {
  const Clock& clock;  // whose zone offset the price times get
  FehlerLog& log;
  StationTable& stations;  // where a differing price becomes the pending one
  ServiceState& facts;     // the prices and price times the grid shows
  PriceWatch watch;
};

// Reads all current prices over `db` (null: none, which fails as a lost
// connection) into `prices`, keeping the previous rows when the read fails
// or returns none, then runs AktuellePreiseZuordnen.
void DB_Get_MTS_StationsPreise(Connection* db, CurrentPrices& prices, const PriceIntake& intake);

// Compares the rows of the last read with the stored prices.
void AktuellePreiseZuordnen(const CurrentPrices& prices, const PriceIntake& intake);

}  // namespace velunor
