// Turns a station's upstream opening-time rows (lox_station_mts_times) into
// its weekly records in mts_petrolstation_times and its special periods in the
// station table's overrides: first worked out for every changed station, then
// written for all of them together, or station by station. Runs inside the
// station synchronisation: a failing step is logged through the caller's
// procedure and the next one runs.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "service/common/date_time.h"
#include "service/common/procedure.h"
#include "service/db/batch_write.h"
#include "service/db/odbc.h"
#include "service/db/opening_week.h"
#include "service/db/station_table.h"

namespace velunor {

// What a station's rows in mts_petrolstation_times become.
struct OpeningTimesPlan {
  bool around_the_clock = false;
  std::vector<WeeklyRecord> records;  // satz 1, 2, ...; none when around the clock
};

// The upstream rows of `stations` in one read over `db` (null: none, which
// fails as a lost connection), ordered by station and zeitraum.
ResultSet ReadUpstreamOpeningTimes(Connection* db, Procedure& p, const std::vector<long>& stations);

// Works out the plan from `rows` of `upstream` (the station's rows in the
// order of zeitraum). Unless the station is open around the clock, fills its
// overrides 1..8 without gaps and sets pricesChanged when a special period is
// taken; a station open around the clock keeps both as they are. Of
// `stations` only this station's entry is touched.
OpeningTimesPlan PlanOpeningTimes(StationTable& stations, Procedure& p, long station,
                                  const ResultSet& upstream, const std::vector<size_t>& rows,
                                  const DateTime& today);

// Writes one station's plan over `db` (null: none, which fails as a lost
// connection), statement by statement.
void WriteOpeningTimes(Connection* db, Procedure& p, long station, const OpeningTimesPlan& plan);

// Writes the plans of many stations: a delete, then the records and the
// around-the-clock rows in as few statements as the bound of values allows.
void WriteOpeningTimes(BatchWriter& db, const std::map<long, OpeningTimesPlan>& plans);

}  // namespace velunor
