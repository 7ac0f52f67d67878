// Storing the pending prices and override periods of every changed station in
// the MTS-K tables, each change preceded by a history copy, and the transfer
// log of the transmissions. Failing steps are logged ("Zeile: <n> ...") and
// the run goes on; a station whose rows could not be written stays pending so
// that the next run writes it.
#pragma once

#include <string>

#include "service/common/fehler_log.h"
#include "service/db/db_state.h"

namespace velunor {

inline constexpr int kTransferStationsOk = 0;
inline constexpr int kTransferStationsFailed = 100;
inline constexpr int kTransferPricesOk = 1;
inline constexpr int kTransferPricesFailed = 200;

// What the price records are written from; the caller keeps each part.
struct PriceStore {
  DbSession& session;  // the connection and the lease the writes go under
  FehlerLog& log;
  const MasterData& master;  // the station range
  StationTable& stations;    // the pending prices, taken over once written
};

// Writes every station from FirstStationNumber to LastStationNumber whose
// pricesChanged is 1.
void DB_Preisdaten(const PriceStore& store);

// Inserts one row into the transfer log over `session`; a failure loses
// only that row, logged to `log`.
void DB_TransferLog(DbSession& session, FehlerLog& log, int code, const std::string& text);

// Escapes backslash, apostrophe, double quote and NUL for an SQL string
// literal and keeps at most `max_length` characters (all for 0) without ever
// cutting an escape pair or a UTF-8 character in two.
std::string SQLQuote(const std::string& text, int max_length);

}  // namespace velunor
