// The frames of the two MTS-K publications and their assembly: the header
// and footer of each document, the bodies from the station and price lines
// (station_body.h, price_body.h), the publication number, PublicationXml and
// MTS_G.xml/MTS_P.xml. Every procedure logs a failing step under its own name
// and goes on.
#pragma once

#include <filesystem>

#include "service/common/clock.h"
#include "service/common/fehler_log.h"
#include "service/common/service_state.h"
#include "service/db/odbc.h"
#include "service/db/station_table.h"
#include "service/publication/publication_state.h"
#include "shared/file_system.h"

namespace velunor {

// Fills DayNames and the frames of both documents; the reporter's name is
// taken from `master` now. REQUIRES: the master data are loaded.
void XML_Init(PublicationState& pub, FehlerLog& log, const MasterData& master);

// What a publication is assembled with; the caller keeps each part.
struct DocumentOutput {
  FehlerLog& log;
  const Clock& clock;   // the year the number counts in, the time it is shown with
  Connection* db;       // where the number is stored; null: none, which fails as a lost connection
  MasterData& master;   // the numbers it advances, the station range of the prices
  ServiceState& facts;  // the number shown
  FileSystem& files;
  const std::filesystem::path& program_dir;  // where MTS_G.xml and MTS_P.xml are written
};

// Assemble the station (price) publication into PublicationXml: the number is
// advanced, stored in stammdaten id 133 (134) and shown in Label1(1) (Label1(3));
// the document plus one more CR LF is written to MTS_G.xml (MTS_P.xml) in the
// program directory. When storing the number or writing the file fails, the
// failure is logged and PublicationXml is complete all the same. The station
// publication carries the stations `published` names as active.
void XML_Out_Station(PublicationState& pub, const DocumentOutput& out,
                     const StationPublicationIndex& published);
void XML_Out_Preise(PublicationState& pub, const DocumentOutput& out);

}  // namespace velunor
