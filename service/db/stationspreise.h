// The current-price intake: one read of the whole current-price table, then a
// numeric comparison of every MTS-K fuel's price (kFuels in fuels.h) with the
// price last stored; a differing price becomes the station's pending price
// and shows in the grid. Failures are logged and the next row is handled.
#pragma once

#include "service/db/db_state.h"

namespace velunor {

// Reads all current prices (keeping the previous rows when the read fails or
// returns none), then runs AktuellePreiseZuordnen.
void DB_Get_MTS_StationsPreise(DbState& state);

// Compares the rows of the last read with the stored prices.
void AktuellePreiseZuordnen(DbState& state);

}  // namespace velunor
