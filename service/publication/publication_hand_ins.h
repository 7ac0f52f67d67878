// What each publication procedure is handed, cut from the process's database
// state: the one place that knows which parts of DbState a publication
// procedure reads, so that the procedures themselves take only those parts.
#pragma once

#include "service/db/db_state.h"
#include "service/publication/price_body.h"
#include "service/publication/station_body.h"

namespace velunor {

inline PriceBodySource PriceBodySourceOf(const DbState& state) {
  return {state.env.log, state.stammdaten, state.published, state.stations};
}

inline void XML_Preisdaten(PublicationState& pub, const DbState& state) {
  XML_Preisdaten(pub, PriceBodySourceOf(state));
}

inline StationBodySource StationBodySourceOf(DbState& state) {
  return {state.env.log, state.DbVerbindung.get(), state.stammdaten, state.published};
}

inline void XML_Stationsdaten(PublicationState& pub, DbState& state) {
  XML_Stationsdaten(pub, StationBodySourceOf(state));
}

}  // namespace velunor
