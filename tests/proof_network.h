// A generated station network in a `lox` database for the load and fault
// runs, and the means to check that a price publication carries every
// current upstream price. Station n has the MTS-K id "st-<n>" and the central
// products 1 (Super E5), 2 (Super E10) and 3 (Diesel) under the same numbers.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "service/db/odbc.h"

namespace velunor::testing {

// The three prices of one station as publication texts ("1.759"); empty
// where the station has no such price.
struct StationPrices {
  std::string e5, e10, diesel;
  bool operator==(const StationPrices&) const = default;
};

// Keyed by the MTS-K id of the station ("st-7").
using PriceMap = std::map<std::string, StationPrices>;

// The network a seed makes: station i (1..stations) has the number
// i * spacing; six_weekly_records gives each station its own hours on six
// days (six records in mts_petrolstation_times) instead of one regular time.
struct NetworkShape {
  int stations = 0;
  int spacing = 1;
  bool six_weekly_records = false;
};

// Fills an empty (reset) `lox` with head-office settings and the active
// stations of `shape`, each with three fuels, one current price per fuel, its
// opening times and a pending master-data change, so that the first start
// reports all of them. Throws DbError.
void SeedStationNetwork(Connection& db, const NetworkShape& shape);
inline void SeedStationNetwork(Connection& db, int stations) {
  SeedStationNetwork(db, NetworkShape{stations});
}
// A connection to `lox` on the private server, reset and seeded with
// `stations` stations. Throws DbError.
std::unique_ptr<Connection> ConnectToSeededNetwork(int stations);

// Changes every current price upstream by `thousandths` thousandths of a
// euro and stamps it with the database's time, as the upstream system does;
// returns the prices as they stand then (UpstreamPrices).
PriceMap ChangeAllPrices(Connection& db, int thousandths);

// The current upstream prices of the MTS-K fuels of every active station.
PriceMap UpstreamPrices(Connection& db);

// The prices the service has stored in mts_petrolstation_price for every
// active station (a station without a row is missing from the map).
PriceMap StoredPrices(Connection& db);

// The prices a price publication (bare or inside its SOAP envelope) reports.
// Throws std::runtime_error when the text is not one price publication.
PriceMap PublishedPrices(const std::string& xml);

// "st-3 1.759/1.709/1.609 instead of ..." for the first differences; "" when equal.
std::string PriceDifferences(const PriceMap& expected, const PriceMap& actual);

}  // namespace velunor::testing
