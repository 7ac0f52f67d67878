// The module that builds the two MTS-K publications as text: the frames, the
// station body (from the MTS-K station tables), the price body (from the
// station table) and the assembly into PublicationXml and MTS_G.xml/MTS_P.xml.
// Every procedure logs a failing step under its own name and goes on.
#pragma once

#include "service/db/db_state.h"
#include "service/publication/publication_state.h"
#include "service/publication/xml_text.h"

namespace velunor {

// Fills DayNames and the frames of both documents; the reporter's name is
// taken from the master data now. REQUIRES: the master data are loaded.
void XML_Init(PublicationState& pub, DbState& state);

// Rebuilds, from mts_petrolstation and mts_petrolstation_times, every
// station's petrolStation lines and reference line, StationActive (status
// not 0), StationLineLast and the range FirstStationNumber..LastStationNumber
// (2147483647..0 when there is no station). A row whose station number lies
// outside 0..2147483647, or that would be one station more than
// kMaxStations, is logged and skipped. REQUIRES: XML_Init has run.
void XML_Stationsdaten(PublicationState& pub, DbState& state);

// Rebuilds the petrolStationInformation lines of every station in the range
// from the station table: PriceLineLast 0 for a station that is not active
// or no longer in the station publication.
// REQUIRES: XML_Stationsdaten has run.
void XML_Preisdaten(PublicationState& pub, DbState& state);

// Assemble the station (price) publication into PublicationXml: the number is
// advanced, stored in stammdaten id 133 (134) and shown in Label1(1) (Label1(3));
// the document plus one more CR LF is written to MTS_G.xml (MTS_P.xml) in the
// program directory. When storing the number or writing the file fails, the
// failure is logged and PublicationXml is complete all the same.
void XML_Out_Station(PublicationState& pub, DbState& state);
void XML_Out_Preise(PublicationState& pub, DbState& state);

}  // namespace velunor
