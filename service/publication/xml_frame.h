// The frames of the two MTS-K publications and their assembly: the header
// and footer of each document, the bodies from the station and price lines
// (station_body.h, price_body.h), the publication number, PublicationXml and
// MTS_G.xml/MTS_P.xml. Every procedure logs a failing step under its own name
// and goes on.
#pragma once

#include "service/db/db_state.h"
#include "service/publication/publication_state.h"

namespace velunor {

// Fills DayNames and the frames of both documents; the reporter's name is
// taken from the master data now. REQUIRES: the master data are loaded.
void XML_Init(PublicationState& pub, DbState& state);

// Assemble the station (price) publication into PublicationXml: the number is
// advanced, stored in stammdaten id 133 (134) and shown in Label1(1) (Label1(3));
// the document plus one more CR LF is written to MTS_G.xml (MTS_P.xml) in the
// program directory. When storing the number or writing the file fails, the
// failure is logged and PublicationXml is complete all the same.
void XML_Out_Station(PublicationState& pub, DbState& state);
void XML_Out_Preise(PublicationState& pub, DbState& state);

}  // namespace velunor
