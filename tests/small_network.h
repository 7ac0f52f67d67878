// The small station network of the service's integration tests, written
// into an emptied `lox` as the upstream station management system would:
//   station 1 "Tankstelle Müller", ps_id "id-0001", ps_version 3, reporting;
//   station 2 "Autohof Göppingen", ps_id "id-0002", ps_version 1, reporting,
//             with LPG and on the LPG portal (gt_id 4711);
//   station 3 "Station Ölmühle",   ps_id "id-0003", not reporting (ps_aktiv 0).
// Stations 1 and 2 are marked as changed (status 2), so the first start sends
// them. Super E5/E10/Diesel everywhere (central products 1, 2, 3; station
// product 10 * station + central product); publication numbers 2026-5 (stations)
// and 2026-7 (prices); no LPG export unless a test turns it on.
#pragma once

#include <string>

#include "service/db/odbc.h"

namespace velunor::testing {

// The prices the network starts with, by station (1..3) and central product (1..4).
std::string InitialPrice(int station, int central_product);

// Inserts the network. REQUIRES: the tables are empty apart from the
// schema's seed rows. Throws DbError when a statement fails.
void InsertStationNetwork(Connection& db);

// A new current price upstream: price and time of the station's product.
void SetUpstreamPrice(Connection& db, int station, int central_product, const std::string& price,
                      const std::string& datum = "2026-12-06 09:00:00");

// Rows of a query: fields joined by ",", rows by " | ", NULL as <null>.
std::string QueryRows(Connection& db, const std::string& sql);

// QueryRows of `columns` of the station's row in mts_petrolstation_price,
// the prices the service stored.
std::string StoredPrice(Connection& db, int station, const std::string& columns);

}  // namespace velunor::testing
