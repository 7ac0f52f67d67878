// Building blocks of the station body: the lines of one station's
// petrolStation element and its reference line for the price body. Used by
// XML_Stationsdaten; pure apart from the failures they log.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "service/common/fehler_log.h"
#include "service/common/procedure.h"
#include "service/db/odbc.h"
#include "service/db/station_table.h"
#include "service/publication/publication_state.h"

namespace velunor {

// `<petrolStationReference targetClass="PetrolStation"  id="..." version="..."/>`
// at indent 8, with two spaces before id. The values go in untrimmed and
// escaped, so that no identifier can break the document.
std::string StationReferenceLine(const std::string& id, const std::string& version);

// The lines of the petrolStation element of row `row` of a
// "select * from mts_petrolstation" result, with one openingTimes group per
// row of `times`, at most 201 lines. A NULL where a text is required gives an
// empty element and a logged failure. An openingTimes group that would push
// the element past 201 lines is left out whole and logged, so that the
// element always stays complete.
std::vector<std::string> StationElement(const ResultSet& station, size_t row,
                                        const ResultSet& times,
                                        const std::array<std::string, 9>& day_names, Procedure& p);

// What the station body is built from and what it sets; the caller keeps
// each part.
struct StationBodySource {
  FehlerLog& log;
  Connection* db;                      // null: none, which fails as a lost connection
  MasterData& master;                  // the station range it sets
  StationPublicationIndex& published;  // which stations are active, their last lines
};

// Rebuilds, from mts_petrolstation and mts_petrolstation_times, every
// station's petrolStation lines and reference line, StationActive (status
// not 0), StationLineLast and the range FirstStationNumber..LastStationNumber
// (2147483647..0 when there is no station). A row whose station number lies
// outside 0..2147483647, or that would be one station more than
// kMaxStations, is logged and skipped. Logs a failing step under
// "XML_Stationsdaten" and goes on. REQUIRES: XML_Init has run.
void XML_Stationsdaten(PublicationState& pub, const StationBodySource& from);

}  // namespace velunor
