// Which of a station's active products stand for Super E5, Super E10 and
// Diesel, the prices last stored for the MTS-K, and the station's two grid
// rows. A failing step is logged under "DB_Get_MTS_Stationskraftstoffe" with
// the statement in progress, and the next step runs.
#pragma once

#include <string>

#include "service/db/db_state.h"

namespace velunor {

// REQUIRES: the station's gridRow and its grid rows exist.
void DB_Get_MTS_Stationskraftstoffe(DbState& state, long station, const std::string& product_list);

// "     2024-05-01 13:45" from a price time "2024-05-01T13:45:00+02:00".
std::string GridTimeText(const std::string& time);

}  // namespace velunor
