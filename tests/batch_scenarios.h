// The scenarios the batch tests share: history rows the batch would number
// itself refused (so a run takes the station-by-station way), every row of
// some tables as text, and the price and station runs over every kind of row
// whose tables the batch and the station-by-station way must leave alike.
#pragma once

#include <string>
#include <vector>

#include "service/db/station_table.h"
#include "tests/test_support.h"

namespace velunor::testing {

// A trigger that refuses a history row with a key given by the statement:
// the batch numbers its history rows itself, one statement per station lets
// the table number them. With it in place every run takes the way station by
// station. Test triggers start with "test_"; TestDb::Reset drops them.
void RefuseNumberedHistoryRows(Connection& db, const std::string& table);

void NewPrice(PriceText& price, TimeText& time, const std::string& value);

// One statement on the test's own connection.
void Sql(DbTestEnv& t, const std::string& sql);

// Stations 1..7 in the station table; rows and history of an earlier run.
void SeedPrices(DbTestEnv& t);

// Two runs over every kind of row: new prices, a fuel not sold, a fuel
// without upstream price, a station without row, override rows rewritten,
// kept and deleted. Returns the tables and the station table afterwards, and
// the statements the two runs sent in `statements`.
std::string PriceScenario(DbTestEnv& t, long* statements);

// Stations 1..5 upstream: 1 to 3 changed and reporting (2 open around the
// clock, 3 with a temporary period and no row of its own yet), 4 changed and
// no longer reporting, 5 unchanged; rows and times of an earlier run.
void SeedStations(DbTestEnv& t);

// The change check's synchronisation on the master data as the service
// loads them; returns the error log's lines afterwards.
std::vector<std::string> SyncStations(DbTestEnv& t);

// The first synchronisation learns the station count and takes stations 1
// to 4; the second takes 1 and 2 again with new opening times. Returns the
// tables, the station table and the grid afterwards, and the statements of
// the two runs in `statements`.
std::string StationScenario(DbTestEnv& t, long* statements);

}  // namespace velunor::testing
