// What each publication procedure is handed, cut from the process's database
// state: the one place that knows which parts of DbState a publication
// procedure reads, so that the procedures themselves take only those parts.
#pragma once

#include "service/db/db_state.h"
#include "service/publication/price_body.h"
#include "service/publication/station_body.h"
#include "service/publication/xml_frame.h"

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

inline void XML_Init(PublicationState& pub, DbState& state) {
  XML_Init(pub, state.env.log, state.stammdaten);
}

inline DocumentOutput DocumentOutputOf(DbState& state) {
  return {state.env.log,     state.env.clock, state.DbVerbindung.get(), state.stammdaten,
          state.env.service, state.env.files, state.env.program_dir};
}

inline void XML_Out_Station(PublicationState& pub, DbState& state) {
  XML_Out_Station(pub, DocumentOutputOf(state), state.published);
}
inline void XML_Out_Preise(PublicationState& pub, DbState& state) {
  XML_Out_Preise(pub, DocumentOutputOf(state));
}

}  // namespace velunor
