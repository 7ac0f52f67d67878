// Building block of the price body: the lines of one station's
// petrolStationInformation element from its entry of the station table.
// Pure function; at most 47 lines (2 + 3 fuels x 4 + 8 periods x 4 + 1).
#pragma once

#include <string>
#include <vector>

#include "service/common/fehler_log.h"
#include "service/db/station_table.h"
#include "service/publication/publication_state.h"

namespace velunor {

// The reference line goes in as it is; a fuel whose stored price reads as 0
// or less is left out; dateOfPrice is written only when activeTime is 1 and
// the time is not blank; override periods are taken from slot 1 up to the
// first free slot.
std::vector<std::string> PriceElement(const StationEntry& entry, const std::string& reference);

// What the price body is built from; the caller keeps each part.
struct PriceBodySource {
  FehlerLog& log;
  const MasterData& master;                  // the station range
  const StationPublicationIndex& published;  // which stations are active
  const StationTable& stations;              // their stored prices and periods
};

// Rebuilds the petrolStationInformation lines of every station in the range
// from the station table: PriceLineLast 0 for a station that is not active
// or no longer in the station publication. Logs a failing step under
// "XML_Preisdaten" and goes on. REQUIRES: XML_Stationsdaten has run.
void XML_Preisdaten(PublicationState& pub, const PriceBodySource& from);

}  // namespace velunor
